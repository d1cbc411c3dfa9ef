// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/catalogue.h"

#include <QString>

namespace quel::shell {

// What the database menu tells the user about a catalogue request: the message box text,
// empty when nothing is to be said.
QString NewDatabaseMessage(const store::NewDatabaseOutcome& outcome);
QString DeleteDatabaseMessage(store::DeleteOutcome outcome);

// The question before a server entry leaves the catalogue.
QString ServerRemovalQuestion(const QString& name, const QString& address);

} // namespace quel::shell
