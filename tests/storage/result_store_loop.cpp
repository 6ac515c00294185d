// The station's store routine in a loop, for the test that kills it at random
// moments: usage result_store_loop DATA_DIR FIRST_MINUTE. Every byte read from
// standard input asks for one store, at the next minute; once the store has
// returned, its minute number is written to standard output as the
// acknowledgement. Ends at the end of the input.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "storage/store_loop_probes.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: result_store_loop DATA_DIR FIRST_MINUTE\n");
        return 2;
    }
    const std::filesystem::path dataDir = argv[1];
    int minute = std::stoi(argv[2]);
    qrv::testing::StoreRig rig(qrv::testing::LoopTime(minute));
    qrv::testing::AddLoopProbes(rig);
    char go = 0;
    while (::read(STDIN_FILENO, &go, 1) == 1) {
        rig.clock.SetNow(qrv::testing::LoopTime(minute));
        for (int p = 0; p < qrv::testing::kLoopProbes; ++p) {
            rig.table.Lock()->SensorArray[static_cast<std::size_t>(p)].Value =
                qrv::testing::LoopValue(p, minute);
        }
        if (rig.store.StoreResultsToDisk(dataDir) != qrv::StoreResult::kStored) {
            return 1;
        }
        const std::string ack = std::to_string(minute) + "\n";
        if (::write(STDOUT_FILENO, ack.data(), ack.size()) != static_cast<ssize_t>(ack.size())) {
            return 1;
        }
        ++minute;
    }
    return 0;
}
