// The faults the simulated player can put in an operation's way, the columns
// of the fault matrix, and how each is aimed at the operation's own command.
#pragma once

#include "sim/bus.h"
#include "sim/error_code.h"
#include "sim/identification.h"
#include "tests/support/transcript_checks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace faultmatrix {

enum class Fault {
    None,
    HandshakesWithheld,   // nothing answers, not even the handshake of a link open
    RepliesWithheld,      // handshakes answered, every other reply withheld
    CommandWriteFails,    // the operation's command (or first transfer) fails
    ReplyReadFails,       // the first read after it fails
    RefusedUnknownCommand,
    RefusedNoStorage,
    RefusedBadRequest,
    RefusedFolderNotEmpty,
    RefusedFolderInUse,
    RefusedFolderFull,
    RefusedNoRoom,
    StaleIdentification,  // the answer to "Y" in place of the command's reply
    ProgressReply,        // a format's progress reply (accepted, not the OK reply)
    DetachedMidData,      // the player leaves the bus in the middle of a data phase
    DataWithheld,         // file data being read stops after a few blocks
};

inline constexpr std::array AllFaults = {
    Fault::None,
    Fault::HandshakesWithheld,
    Fault::RepliesWithheld,
    Fault::CommandWriteFails,
    Fault::ReplyReadFails,
    Fault::RefusedUnknownCommand,
    Fault::RefusedNoStorage,
    Fault::RefusedBadRequest,
    Fault::RefusedFolderNotEmpty,
    Fault::RefusedFolderInUse,
    Fault::RefusedFolderFull,
    Fault::RefusedNoRoom,
    Fault::StaleIdentification,
    Fault::ProgressReply,
    Fault::DetachedMidData,
    Fault::DataWithheld,
};
inline constexpr size_t FaultCount = AllFaults.size();

inline const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::None: return "None";
    case Fault::HandshakesWithheld: return "HandshakesWithheld";
    case Fault::RepliesWithheld: return "RepliesWithheld";
    case Fault::CommandWriteFails: return "CommandWriteFails";
    case Fault::ReplyReadFails: return "ReplyReadFails";
    case Fault::RefusedUnknownCommand: return "RefusedUnknownCommand";
    case Fault::RefusedNoStorage: return "RefusedNoStorage";
    case Fault::RefusedBadRequest: return "RefusedBadRequest";
    case Fault::RefusedFolderNotEmpty: return "RefusedFolderNotEmpty";
    case Fault::RefusedFolderInUse: return "RefusedFolderInUse";
    case Fault::RefusedFolderFull: return "RefusedFolderFull";
    case Fault::RefusedNoRoom: return "RefusedNoRoom";
    case Fault::StaleIdentification: return "StaleIdentification";
    case Fault::ProgressReply: return "ProgressReply";
    case Fault::DetachedMidData: return "DetachedMidData";
    case Fault::DataWithheld: return "DataWithheld";
    }
    return "?";
}

inline std::optional<uint8_t> RefusalCode(Fault fault) {
    switch (fault) {
    case Fault::RefusedUnknownCommand: return kvx512sim::ErrorUnknownCommand;
    case Fault::RefusedNoStorage: return kvx512sim::ErrorNoStorage;
    case Fault::RefusedBadRequest: return kvx512sim::ErrorBadRequest;
    case Fault::RefusedFolderNotEmpty: return kvx512sim::ErrorFolderNotEmpty;
    case Fault::RefusedFolderInUse: return kvx512sim::ErrorFolderInUse;
    case Fault::RefusedFolderFull: return kvx512sim::ErrorFolderFull;
    case Fault::RefusedNoRoom: return kvx512sim::ErrorNoRoom;
    default: return std::nullopt;
    }
}

// Data-phase bytes after which the player leaves the bus, and 512-byte blocks
// of a file read after which the rest is withheld: both well inside the
// 40,000 bytes (or more) every data operation of the matrix moves.
inline constexpr uint32_t DetachAfterBytes = 20000;
inline constexpr uint32_t WithholdAfterBlocks = 8;

// Where in a fault-free run of the operation its command went.
struct Aim {
    int commandsBefore = 0;                  // commands other than "Y" before it
    std::optional<int> commandTransfer;      // its write (or the first transfer), counted from the start
    std::optional<int> replyTransfer;        // the first read after that
    bool targetFound = false;                // a command `isTarget` accepts was sent
};

// Finds the first command other than "Y" that `isTarget` accepts (any, when
// empty); without one, the first write, and without a write, the first transfer.
inline Aim AimAt(const kvx512sim::Transcript& transcript,
                 const std::function<bool(const std::vector<uint8_t>&)>& isTarget = {}) {
    const auto transfers = transcript.Transfers();
    Aim aim;
    int commands = 0;
    std::optional<int> firstWrite;
    for (size_t i = 0; i < transfers.size(); ++i) {
        const auto& transfer = transfers[i];
        if (transfer.in || transfer.pipe != kvx512sim::PipeOut || transfer.options != 0) {
            continue;
        }
        if (!firstWrite) {
            firstWrite = static_cast<int>(i);
        }
        if (testsupport::IsCommandBlock(transfer.bytes) && transfer.bytes[4] != 'Y') {
            if (!isTarget || isTarget(transfer.bytes)) {
                aim.commandTransfer = static_cast<int>(i);
                aim.commandsBefore = commands;
                aim.targetFound = true;
                break;
            }
            ++commands;
        }
    }
    if (!aim.commandTransfer) {
        aim.commandTransfer = firstWrite ? firstWrite : (transfers.empty() ? std::nullopt : std::optional<int>(0));
    }
    if (aim.commandTransfer) {
        for (size_t i = static_cast<size_t>(*aim.commandTransfer) + 1; i < transfers.size(); ++i) {
            if (transfers[i].in && transfers[i].pipe == kvx512sim::PipeReplies && transfers[i].options == 0) {
                aim.replyTransfer = static_cast<int>(i);
                break;
            }
        }
    }
    return aim;
}

// The reply blocks put in place of a command's own reply.
inline std::vector<uint8_t> StaleIdentificationBlock() {
    const std::string text = kvx512sim::Identification{}.Text();
    std::vector<uint8_t> block(text.size() + 5, '.');
    block[0] = '#';
    block[1] = 0;
    block[2] = static_cast<uint8_t>(text.size() + 2);
    block[3] = ':';
    for (size_t i = 0; i < text.size(); ++i) {
        block[4 + i] = static_cast<uint8_t>(text[i]);
    }
    return block;
}
inline std::vector<uint8_t> ProgressBlock() { return {0x23, 0x00, 0x04, 0x3A, 0x00, 50, 0x2E}; }

// Arms the fault on the player; `aim` comes from a fault-free run.
inline void Arm(kvx512sim::Player& player, Fault fault, const Aim& aim) {
    player.DelayCommandFaults(aim.commandsBefore);
    if (const auto code = RefusalCode(fault)) {
        player.RefuseNextCommand(*code);
        return;
    }
    switch (fault) {
    case Fault::HandshakesWithheld: player.WithholdReplies(100000, true); break;
    case Fault::RepliesWithheld: player.WithholdReplies(100000, false); break;
    case Fault::CommandWriteFails:
        if (aim.commandTransfer) {
            player.FailNextTransfers(1, *aim.commandTransfer);
        }
        break;
    case Fault::ReplyReadFails:
        if (aim.replyTransfer) {
            player.FailNextTransfers(1, *aim.replyTransfer);
        }
        break;
    case Fault::StaleIdentification: player.AnswerNextCommandWith(StaleIdentificationBlock()); break;
    case Fault::ProgressReply: player.AnswerNextCommandWith(ProgressBlock()); break;
    case Fault::DetachedMidData: player.DetachAfterDataBytes(DetachAfterBytes); break;
    case Fault::DataWithheld: player.WithholdDataAfterBlocks(WithholdAfterBlocks); break;
    default: break;
    }
}

inline bool NeedsAim(Fault fault) { return fault == Fault::CommandWriteFails || fault == Fault::ReplyReadFails; }

// A cell of a matrix: its row's place in the matrix's rows, and its column's in AllFaults.
using CellIndex = std::tuple<size_t, size_t>;

template <class Row>
const Row& RowOf(const std::vector<Row>& rows, const CellIndex& cell) {
    return rows[std::get<0>(cell)];
}
inline Fault FaultOf(const CellIndex& cell) { return AllFaults[std::get<1>(cell)]; }

// Every cell of a matrix of `rows`, for INSTANTIATE_TEST_SUITE_P.
inline auto AllCells(size_t rows) {
    return ::testing::Combine(::testing::Range<size_t>(0, rows), ::testing::Range<size_t>(0, FaultCount));
}

// Names a cell "<row>_<fault>"; `rows` must outlive the test run.
template <class Row>
auto CellName(const std::vector<Row>& rows) {
    return [&rows](const ::testing::TestParamInfo<CellIndex>& info) {
        return std::string(RowOf(rows, info.param).name) + "_" + FaultName(FaultOf(info.param));
    };
}

} // namespace faultmatrix
