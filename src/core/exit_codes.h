// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the programs end, for scripts, cron and the main program reading its workers. The
// numbers are fixed: scripts test them and the README lists them.
namespace quel::core {

// Exit codes of "quelmar --batch" (and of the program's command line).
enum BatchExitCode : int
{
    kBatchOk = 0, // everything asked for succeeded (or there was nothing to do)
    kBatchFatal = 1, // could not start or go on: database, data folder, job list, market
    kBatchUsage = 2, // bad arguments; a usage line follows
    kBatchSomeFailed = 3, // ran to the end, some jobs failed
    kBatchInterrupted = 130, // cancelled part way (128 + SIGINT; the caller may refine it)
};

// The exit code of a run ended by the signal: 128 + its number, as a shell reports it.
constexpr int SignalExitCode(int signalNumber)
{
    return 128 + signalNumber;
}

// How a quelfetch worker ends; quelmar counts every job without a result file as failed.
enum WorkerExitCode : int
{
    ExitDone = 0, // the result file is written (empty for an item that cannot be viewed)
    ExitDumpFailed = 1, // --dump: the page did not load (the reason is printed)
    ExitBadArguments = 2, // no job or no output file on the command line; nothing written
    ExitPageFailed = 3, // a page of the job did not load; no result file
    ExitTimedOut = 4, // the watchdog ended the job; no result file
    ExitNotWritten = 5, // the result could not be written
    // A page loaded but is not whole or not what it claims (cut short, a login page in its
    // place, records missing, a pager that leads back); no result file.
    ExitBadPage = 6,
};

} // namespace quel::core
