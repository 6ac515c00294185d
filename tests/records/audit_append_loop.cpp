// The audit trail's writer in a loop, for the test that kills it at random
// moments: usage audit_append_loop TRAIL FIRST. Every byte read from standard
// input asks for one line, numbered from FIRST; once the line is written its
// number is written to standard output as the acknowledgement.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "records/audit_trail.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: audit_append_loop TRAIL FIRST\n");
        return 2;
    }
    qrv::records::AuditTrail trail{argv[1]};
    int number = std::stoi(argv[2]);
    char go = 0;
    while (::read(STDIN_FILENO, &go, 1) == 1) {
        const qrv::records::AuditEntry entry{{2026, 3, 14, 10, number / 60 % 60, number % 60, 0},
                                             "loop",
                                             "line " + std::to_string(number),
                                             std::to_string(number - 1),
                                             std::to_string(number),
                                             {}};
        if (!trail.Record(entry)) {
            return 1;
        }
        const std::string ack = std::to_string(number) + "\n";
        if (::write(STDOUT_FILENO, ack.data(), ack.size()) != static_cast<ssize_t>(ack.size())) {
            return 1;
        }
        ++number;
    }
    return 0;
}
