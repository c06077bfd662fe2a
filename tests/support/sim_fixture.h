// A fresh simulated player on the in-process bus for every test, recording
// its transcript.
#pragma once

#include "sim/bus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class SimPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
    }

    kvx512sim::Bus& Bus() { return kvx512sim::Bus::Instance(); }
    kvx512sim::Player& Player() { return Bus().GetPlayer(0); }

    // The 512-byte blocks the host wrote to pipe 0x02, in order.
    std::vector<std::vector<uint8_t>> Writes() { return Player().GetTranscript().Writes(); }

    static std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
        std::vector<uint8_t> bytes;
        for (int value : values) {
            bytes.push_back(static_cast<uint8_t>(value));
        }
        return bytes;
    }

    // A whole block: the given leading bytes and zeros to 512.
    static std::vector<uint8_t> Block(std::initializer_list<int> leading) {
        auto bytes = Bytes(leading);
        bytes.resize(512, 0);
        return bytes;
    }

    static kvx512sim::Identification IdentificationWithVersion(const std::string& version) {
        kvx512sim::Identification identification;
        identification.version = version;
        return identification;
    }
};

} // namespace testsupport
