#include "Args.h"
#include "Commands.h"
#include "document/CZARN40Doc.h"

#include <QGuiApplication>

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
    if (command == "colors") {
        return zarn::cli::runColors(std::move(words));
    }
    throw zarn::cli::UsageError("unknown command '" + command + "' (try --help)");
}

/** What was printed must have reached standard output (a full disk, a closed pipe). */
int checkedStdout(int status) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        const int error = errno;
        std::cerr << "zarn80-render: error: cannot write to standard output: "
                  << (error != 0 ? std::strerror(error) : "write failed") << "\n";
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::cerr << zarn::cli::usageText();
        return 2;
    }
    const std::string command = words.front();
    words.erase(words.begin());
    if (command == "--help" || command == "-h" || command == "help") {
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
        std::cerr << "zarn80-render: error: " << e.what() << "\n";
        return 2;
    } catch (const zarn::cli::InputError& e) {
        std::cerr << "zarn80-render: error: " << e.what() << "\n";
        return 1;
    } catch (const zarn::DocumentError& e) {
        std::cerr << "zarn80-render: error: " << e.what() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "zarn80-render: error: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "zarn80-render: error: " << e.what() << "\n";
        return 1;
    }
}
