// Takes the station's single-instance lock in the given runtime folder, says what happened on
// standard output, and holds the lock until its standard input closes.
#include <cstdio>
#include <iostream>

#include "single_instance_lock.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    ovistra::platform::SingleInstanceLock lock;
    const auto result = lock.Acquire(QString::fromLocal8Bit(argv[1]));
    using Result = ovistra::platform::SingleInstanceLock::Result;
    std::cout << (result == Result::Acquired        ? "acquired"
                  : result == Result::HeldByAnother ? "held"
                                                    : "failed")
              << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
