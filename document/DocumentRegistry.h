#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

namespace zarn {

class CZARN40Doc;

/**
 * The application's list of open documents. Workers read its size to pace themselves (they sleep
 * one millisecond more per open document every 200,000 steps); the GUI's idle refresh walks it one
 * document per tick. Thread-safe.
 */
class DocumentRegistry {
public:
    static constexpr std::size_t kMaxDocuments = 100;

    /** Adds @p doc; false when the list is full. */
    bool add(CZARN40Doc* doc);
    void remove(CZARN40Doc* doc);
    std::size_t count() const;
    std::vector<CZARN40Doc*> documents() const;
    /** The next document after the last one returned, round-robin; null when the list is empty. */
    CZARN40Doc* next();

private:
    mutable std::mutex mutex_;
    std::vector<CZARN40Doc*> docs_;
    std::size_t cursor_ = 0;
};

} // namespace zarn
