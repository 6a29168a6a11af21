#pragma once

#include "engine/RandomSource.h"
#include "render/ColorSetRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zarn {

class Archive;
class CRandom;

/**
 * The colour set of a quilt: up to six colours, each with a share of the grid's cells. Colours
 * are indexed 0..5 here (the dialog's rows 1..6). Colours 0 and 1 are always active, 2 and 3 when
 * useColors34 is set, 4 and 5 when useColors34 and useColors56 are both set.
 *
 * This is the model behind the "Color Control" dialog: every button of the dialog is one call
 * here, and the dialog only exchanges values with the public members. Calls run on the
 * user-interface thread while the document's worker is paused.
 */
class ColorC {
public:
    static constexpr int kColors = 6;
    /** Share every inactive colour holds, and the nudge each refresh gives every active one. */
    static constexpr double kIdleShare = 0.0001;
    static constexpr double kDefaultIncrement = 0.01;
    static constexpr double kMinIncrement = 0.000001;
    static constexpr double kMaxIncrement = 0.1;
    /** Bytes of the colour set's image in the session file. */
    static constexpr std::size_t kStateSize = 1152;

    /** Builds the default set with its own random source seeded from @p seed alone, so runs
     *  with a fixed seed are reproducible. */
    explicit ColorC(double seed);
    /** Builds the default set with its own random source seeded from the clock, @p cRandom and
     *  the current directory. */
    explicit ColorC(CRandom& cRandom);

    bool isActive(int k) const;

    /** Nudges every active share by 0.0001 (inactive ones are set to it), divides the active
     *  shares by their sum and refreshes total, unfixedSum and fixedSum; returns total. */
    double Normalize();
    /** Normalize() and percent = fraction x 100, but only once a history is attached. */
    void RefreshPercents();
    /** Fills weight[] for giving share to or taking it from colour @p k; returns how many
     *  colours take part (the active unfixed colours other than k). */
    int computeWeights(int k);
    /** Moves up to @p amount of share to colour @p k from the other active unfixed colours, in
     *  proportion to their shares. Does nothing when those hold less than 0.001 together. */
    void IncreaseShare(int k, double amount);
    /** Moves up to @p amount of colour @p k's share to the other active unfixed colours. Does
     *  nothing when there are none. */
    void DecreaseShare(int k, double amount);

    /** "+" of colour @p k: IncreaseShare by increment when k is active and not fixed. */
    void increaseShareButton(int k);
    /** "-" of colour @p k: DecreaseShare by increment when k is active, not fixed and has a
     *  share. */
    void decreaseShareButton(int k);
    /** "+" beside the increment: doubles it while it is below 0.2. The dialog's range check
     *  refuses values above 0.1 at its next exchange. */
    void doubleIncrement();
    /** "-" beside the increment: halves it while it is above 0. */
    void halveIncrement();

    /** The check of colours 3 and 4: switching them off also switches off 5 and 6 and hands
     *  their shares to the remaining colours. */
    void SetUseColors34(bool on);
    /** The check of colours 5 and 6: refused while 3 and 4 are off; switching off hands their
     *  shares to colours 1 to 4. */
    void SetUseColors56(bool on);

    /** New channels from @p cRandom (blue, green, red per colour) for every unfixed colour and
     *  new shares from rng for the active unfixed ones. */
    void RandomColors(CRandom& cRandom);

    /** Resets to the defaults, attaches @p h and takes its current record if committed. */
    void LoadFromHistory(ColorSetHistory& h);
    /** Stores the set at the history's current slot, then again, numbered one higher, at the
     *  next slot, which becomes current. Returns false (and changes nothing) without a history. */
    bool CommitToHistory();

    /** The set as a record with the given valid flag and number. */
    ColorSetRecord makeRecord(std::int32_t valid, std::int32_t number) const;
    /** Takes channels, flags, shares, increment, order, total, reserved and name from @p r
     *  (not valid or sequence). Channels are clamped to 0..255, flags to 0/1 and the increment
     *  into the dialog's range. The record must have passed checkColorSetRecord(). */
    void takeRecord(const ColorSetRecord& r);

    /** Sets name to @p path. A path longer than 255 bytes does not fit: it is kept as its file
     *  name alone (which the file system limits to 255 bytes), so the next file dialog still
     *  offers the right name. */
    void setName(const std::string& path);
    std::string nameString() const;

    /** Writes the set to the colour file @p path and, on success, makes @p path its name. On
     *  failure nothing changes and the result names the file and the reason. */
    ColorFileResult WriteColorFile(const std::string& path);
    /** Reads the colour file @p path into the set (its name becomes the one stored in the file)
     *  and refreshes the percents. The file is read and checked whole first: on failure the set
     *  is unchanged and the result names the file and the reason. */
    ColorFileResult ReadColorFile(const std::string& path);

    /** Writes or reads the set's 1152-byte image for the session file (history and rng are not
     *  part of it). A load checks the values and throws FormatError, leaving the set as it was. */
    void serializeState(Archive& ar);

    std::array<std::int32_t, kColors> red{};
    std::array<std::int32_t, kColors> green{};
    std::array<std::int32_t, kColors> blue{};
    std::int32_t useColors34 = 0;
    std::int32_t useColors56 = 0;
    std::array<double, kColors> fraction{};
    std::array<double, kColors> percent{};
    std::array<std::int32_t, kColors> fixed{};
    double increment = kDefaultIncrement;
    std::array<std::int32_t, kColors> order{};
    double total = 0.0;
    double unfixedSum = 0.0;
    double fixedSum = 0.0;
    std::int32_t reserved = 0;
    std::array<char, ColorSetRecord::kNameSize> name{};
    std::int32_t sequence = 0;
    std::array<std::int32_t, kColors> savedFixed{};
    std::array<double, kColors> weight{};
    /** The document's history; null until the first LoadFromHistory. */
    ColorSetHistory* history = nullptr;
    RandomSource rng;

private:
    /** Shares, order and name of a new set; the random source is seeded by the constructor. */
    void setDefaults();
    void setDefaultShares();
    bool validIndex(int k) const { return k >= 0 && k < kColors; }
};

} // namespace zarn
