// Writes a small session of every family the file stores into the folder given on the command
// line: the fuzzer's starting corpus, always in the format of the current build.

#include "document/CZARN40Doc.h"
#include "document/QuiltOps.h"
#include "document/SessionFile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    using zarn::MapFamily;
    int seed = 1;
    for (MapFamily family : {MapFamily::Square, MapFamily::Hex, MapFamily::SFT, MapFamily::T,
                             MapFamily::SquareX, MapFamily::ExpA, MapFamily::Oct_Four}) {
        zarn::DocumentOptions options;
        options.seed = seed++;
        options.startWorker = false;
        options.physicalMemory = std::uint64_t{1} << 30;
        zarn::CZARN40Doc doc(options);
        {
            zarn::ScopedPause pause(doc);
            zarn::QuiltState& s = doc.State(pause);
            s.family = family;
            s.setHexKnot(family == MapFamily::Hex);
            zarn::ChangeGridSize(s, 12, 3500000.0);
            zarn::NewRandomQuilt(s);
        }
        for (int i = 0; i < 5000; ++i) {
            doc.IterateStep();
        }
        const std::string path =
            std::string(argv[1]) + "/seed-" + std::string(zarn::familyName(family)) + ".session";
        if (const zarn::FileResult saved = zarn::SaveSessionFile(doc, path); !saved) {
            std::fprintf(stderr, "%s\n", saved.error.c_str());
            return 1;
        }
    }
    return 0;
}
