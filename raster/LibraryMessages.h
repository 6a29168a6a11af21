#pragma once

#include <string>

namespace zarn {

/**
 * Collects what the image libraries say on the calling thread while it lives: Qt's messages (the
 * JPEG and TIFF writers' among them) and libtiff's, which would otherwise go to stderr by
 * themselves. A failed encoder's message becomes the reason of the one error line the program
 * reports. Messages raised on other threads, or while none lives, go where they went before.
 * Captures nest; the innermost one collects.
 */
class LibraryMessages {
public:
    LibraryMessages();
    ~LibraryMessages();
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    /** The last error or warning said, else the last note; empty when nothing was said. */
    const std::string& reason() const { return error_.empty() ? note_ : error_; }

    /** Records @p message on the calling thread's innermost capture; false when there is none. */
    static bool record(const std::string& message, bool isError);

private:
    LibraryMessages* outer_;
    std::string error_;
    std::string note_;
};

} // namespace zarn
