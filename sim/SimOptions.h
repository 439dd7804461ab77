#pragma once

#include "sim/ScannerModel.h"

#include <QByteArray>

// zev-scanner-sim's command line, and the records and memory it starts from.
namespace SimOptions {

struct Options
{
    ScannerModel::Config config;
    QByteArray link;
    QByteArray recordsFile;
    QByteArray memoryFile;
    QByteArray control;
    int recordCount = 0;
    int seed = 1;
    bool quiet = false;
};

// Returns 0 to run, otherwise the exit status (1 usage, 0 for --help).
int parseArgs(int argc, char **argv, Options *o);
// The records to start with: from the memory file when there is one, else from
// the records file or generated. False, told on stderr, when they cannot be had.
bool loadRecords(Options *o);
bool saveMemory(const QByteArray &file, const ScannerModel &model);
// text as a number from min to max.
bool toInt(const QByteArray &text, int min, int max, int *out);

} // namespace SimOptions
