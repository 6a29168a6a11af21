#pragma once

#include <string>
#include <vector>

namespace zarn::cli {

/** Runs one subcommand with its words; returns the exit status or throws UsageError/InputError. */
int runNew(std::vector<std::string> words);
int runColors(std::vector<std::string> words);
int runOpen(std::vector<std::string> words);
int runInfo(std::vector<std::string> words);
int runExplore(std::vector<std::string> words);

/** Prints one error line on stderr: "zarn80-render: error: MESSAGE". */
void printError(const std::string& message);

/** The text of --help. */
std::string usageText();

} // namespace zarn::cli
