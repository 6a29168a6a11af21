#include "LibraryMessages.h"

#include <QString>
#include <QtGlobal>

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace zarn {

namespace {

thread_local LibraryMessages* current = nullptr;
QtMessageHandler previousQt = nullptr;
TIFFErrorHandler previousTiffError = nullptr;
TIFFErrorHandler previousTiffWarning = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg &&
        LibraryMessages::record(message.toStdString(),
                                type == QtWarningMsg || type == QtCriticalMsg)) {
        return;
    }
    if (previousQt != nullptr) {
        previousQt(type, context, message);
    }
}

void onTiffMessage(TIFFErrorHandler previous, bool isError, const char* module, const char* format,
                   va_list args) {
    if (current == nullptr) {
        if (previous != nullptr) {
            previous(module, format, args);
        }
        return;
    }
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    LibraryMessages::record(module != nullptr && *module != '\0' ? std::string(module) + ": " + text
                                                                 : std::string(text),
                            isError);
}

void onTiffError(const char* module, const char* format, va_list args) {
    onTiffMessage(previousTiffError, true, module, format, args);
}

void onTiffWarning(const char* module, const char* format, va_list args) {
    onTiffMessage(previousTiffWarning, false, module, format, args);
}

} // namespace

LibraryMessages::LibraryMessages() : outer_(current) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        previousQt = qInstallMessageHandler(onQtMessage);
        previousTiffError = TIFFSetErrorHandler(onTiffError);
        previousTiffWarning = TIFFSetWarningHandler(onTiffWarning);
    });
    current = this;
}

LibraryMessages::~LibraryMessages() {
    current = outer_;
}

bool LibraryMessages::record(const std::string& message, bool isError) {
    if (current == nullptr) {
        return false;
    }
    (isError ? current->error_ : current->note_) = message;
    return true;
}

} // namespace zarn
