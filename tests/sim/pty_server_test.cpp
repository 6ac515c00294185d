// The simulated unit served on a pseudo-terminal and reached through the
// termios port, as an outside program would reach it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "pty_server.h"
#include "runtime/termios_port.h"
#include "sim/network_file.h"

namespace qrv {
namespace {

TEST(PtyServer, TheDriverFindsTheSampleUnitOverAPseudoTerminalAndAgainAfterReopening) {
    VirtualClock serverClock;
    auto unit = sim::MakeSampleNetwork();
    tools::PtyServer server(unit, serverClock);
    std::string error;
    ASSERT_TRUE(server.Open(error)) << error;
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    std::thread serving([&] { server.Serve(stop[0]); });
    // Stops the server however the test ends.
    struct Stopper {
        int fd;
        std::thread& thread;
        ~Stopper() {
            (void)::write(fd, "x", 1);
            thread.join();
        }
    } stopper{stop[1], serving};

    RealClock clock;
    PortMap map;
    map.Set(1, server.Path());
    SerialPortProvider ports(map);
    OneWireDriver driver(ports, clock);
    for (int round = 0; round < 2; ++round) {
        NodexSession session(driver, ports, clock);
        ASSERT_EQ(session.StartOneWireSession(), SessionStatus::kOk) << "round " << round;
        ASSERT_EQ(session.ZoekNodexNumbers(), SessionStatus::kOk);
        EXPECT_EQ(session.Nodex2406Rom[0], 0x12);
        for (const RomCode& coupler : session.Nodex2409Rom) {
            EXPECT_EQ(coupler[0], 0x1F);
        }
        EXPECT_EQ(session.SelectLine(2), SessionStatus::kOk);
        EXPECT_TRUE(unit->LineConnected(2));
        EXPECT_EQ(session.StopOneWireSession(), SessionStatus::kOk);
    }
}

}  // namespace
}  // namespace qrv
