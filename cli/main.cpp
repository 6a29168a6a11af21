#include "Args.h"
#include "Commands.h"
#include "document/CZARN40Doc.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

int runCommand(const std::string& command, std::vector<std::string> words) {
    if (command == "new") {
        return zarn::cli::runNew(std::move(words));
    }
    if (command == "open") {
        return zarn::cli::runOpen(std::move(words));
    }
    if (command == "info") {
        return zarn::cli::runInfo(std::move(words));
    }
    if (command == "explore") {
        return zarn::cli::runExplore(std::move(words));
    }
    if (command == "colors") {
        return zarn::cli::runColors(std::move(words));
    }
    throw zarn::cli::UsageError("unknown command '" + command + "' (try --help)");
}

/** Qt's own messages never reach stderr by themselves: every failure is reported as one line of
 *  ours, with the library's message as its reason where it has one. */
void quietQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        zarn::cli::printError(message.toStdString());
    }
}

/** What was printed must have reached standard output (a full disk, a closed pipe). */
int checkedStdout(int status) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        const int error = errno;
        zarn::cli::printError(std::string("cannot write to standard output: ") +
                              (error != 0 ? std::strerror(error) : "write failed"));
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietQtMessage);
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::cerr << zarn::cli::usageText();
        return 2;
    }
    const std::string command = words.front();
    words.erase(words.begin());
    // "zarn80-render new --help" asks for the same text as "zarn80-render --help": every
    // command's options are in it.
    const auto asksForHelp = [](const std::string& word) {
        return word == "--help" || word == "-h";
    };
    if (command == "help" || asksForHelp(command) ||
        std::any_of(words.begin(), words.end(), asksForHelp)) {
        std::cout << zarn::cli::usageText();
        return checkedStdout(0);
    }
    if (command == "--version") {
        std::cout << "zarn80-render " << ZARN80_VERSION << "\n";
        return checkedStdout(0);
    }
    try {
        return checkedStdout(runCommand(command, std::move(words)));
    } catch (const zarn::cli::UsageError& e) {
        zarn::cli::printError(e.what());
        return 2;
    } catch (const std::bad_alloc&) {
        zarn::cli::printError("out of memory");
        return 1;
    } catch (const std::exception& e) {
        // InputError, DocumentError and whatever else stops a run: bad input or failed I/O.
        zarn::cli::printError(e.what());
        return 1;
    }
}
