#pragma once

#include <QString>

namespace quel::core {

class Feedback;

// Text files the programs exchange (the catalogue DB.txt, worker results, Error.ASP):
// UTF-8 without a byte-order mark, the text written exactly as given (CR LF stays CR LF).

// Writes the text to path + ".TMP", flushes it to disk and renames it over the path, so the
// path only ever holds a complete file: the old content until the rename, then the new.
// Returns 1 when written, -1 on any file error (the old file at the path is then kept;
// *osError, when given, gets the system's error number of the step that failed).
int WriteFileAtomic(const QString& text, const QString& path, int* osError = nullptr);

// WriteFileAtomic with retries: up to 31 attempts with a pause of pauseMs between them.
// After the 11th failed attempt "1" is appended to the path, after the 21st another "1".
// Gives up silently, and at once on a full or read-only disk, which no wait mends. Returns
// the path finally written, or empty text when it failed (*osError then says why).
QString SaveTextFile(
    const QString& text, const QString& path, int pauseMs = 1000, int* osError = nullptr);

// Waits for a file that another process writes and reads it whole. Each try pauses
// pauseMs first; after 100 tries without the file the message
// "无法打开下载文档：" CR LF path is shown and empty text returned. A zero-length file
// gives empty text at once and is kept. Non-empty text is returned, and with deleteAfter
// the file is deleted. A file that is not valid UTF-8 is read as GB18030 (files written by
// older versions used the Chinese ANSI code page).
QString ReadResultFile(
    const QString& path, bool deleteAfter, Feedback& feedback, int pauseMs = 500);

// Decodes file bytes: UTF-8 (an initial byte-order mark is dropped), else GB18030.
QString DecodeTextFile(const QByteArray& bytes);

} // namespace quel::core
