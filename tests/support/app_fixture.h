#pragma once

#include <QApplication>
#include <gtest/gtest.h>

namespace quel::test {

// One QApplication for a whole test executable (widgets need it, offscreen under CTest).
inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "quel_test";
    static char* argv[] = { name, nullptr };
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

} // namespace quel::test
