// Writes the seed corpora of the fuzz targets that come from the simulated
// player, its server and the protocol library: each seed is what one of them
// really sends or stores. Run by make_corpus.sh; the seeds are kept in the
// repository.
#include "platform/usb/usbip_protocol.h"
#include "portio/protocol_session.h"
#include "sim/bus.h"
#include "sim/directory_entry.h"
#include "sim/server/usbip_wire.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace usbip = platform::usb::usbip;
using Bytes = std::vector<uint8_t>;

std::filesystem::path corpusRoot;

void WriteSeed(const std::string& target, const std::string& name, const Bytes& bytes) {
    const auto dir = corpusRoot / target;
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

template <class Record>
void AppendRecord(Bytes& to, const Record& record) {
    const auto bytes = usbip::Encode(record);
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// What the player sent back on pipe 0x83 since the transcript was cleared.
std::vector<Bytes> Replies(kvx512sim::Player& player) {
    std::vector<Bytes> replies;
    for (const auto& entry : player.GetTranscript().Transfers()) {
        if (entry.in && entry.pipe == kvx512sim::PipeReplies && !entry.bytes.empty()) {
            replies.push_back(entry.bytes);
        }
    }
    player.ClearTranscript();
    return replies;
}

// The replies after the last "Y" answer: those of the command itself.
std::vector<Bytes> CommandReplies(kvx512sim::Player& player) {
    auto replies = Replies(player);
    size_t first = 0;
    for (size_t i = 0; i < replies.size(); ++i) {
        if (replies[i].size() > 32 && std::string(replies[i].begin() + 4, replies[i].begin() + 13) == "KORVANEXT") {
            first = i + 1;
        }
    }
    return {replies.begin() + static_cast<std::ptrdiff_t>(first), replies.end()};
}

void Identification(kvx512sim::Player& player) {
    player.ClearTranscript();
    portio::Session().QueryVersion();
    const auto replies = Replies(player);
    WriteSeed("identification", "application", replies.back());
    kvx512sim::Identification boot = player.GetIdentification();
    boot.identity = "BOOT";
    player.SetIdentification(boot);
    portio::Session().QueryVersion();
    WriteSeed("identification", "boot", Replies(player).back());
    player.SetIdentification(kvx512sim::Identification{});
    portio::Session().QueryVersion();
    player.ClearTranscript();
}

void Listings(kvx512sim::Player& player) {
    auto image = std::make_unique<StorageImage>();
    player.ClearTranscript();
    portio::Session().ReadListing(*image, 0);
    Bytes seed;
    for (const auto& reply : CommandReplies(player)) {
        Append(seed, reply);
    }
    WriteSeed("storage_listing", "top_level", seed);
    portio::Session().ReadListing(*image, 1);
    seed.clear();
    for (const auto& reply : CommandReplies(player)) {
        Append(seed, reply);
    }
    WriteSeed("storage_listing", "second_storage", seed);
}

// Directory images no simulated storage holds, laid out by hand: the header
// block (`files` claimed), then the entries.
Bytes RawListing(uint16_t files, const std::vector<Bytes>& entries) {
    Bytes image(512, 0);
    image[6] = static_cast<uint8_t>(files >> 8);
    image[7] = static_cast<uint8_t>(files);
    image[8] = static_cast<uint8_t>(entries.size() >> 8);
    image[9] = static_cast<uint8_t>(entries.size());
    image[11] = 100;   // capacity units
    for (const auto& entry : entries) {
        Append(image, entry);
    }
    image.resize((image.size() + 511) / 512 * 512, 0);
    return image;
}

Bytes ShortEntry(const char* name11) {
    Bytes entry(name11, name11 + 11);
    entry.resize(32, 0);
    entry[11] = 0x20;
    entry[28] = 1;
    return entry;
}

// The long-name entries of `name` for the short name `owner`, one entry each.
std::vector<Bytes> LongEntries(const std::u16string& name, const char* owner) {
    kvx512sim::ShortName shortName{};
    std::copy_n(owner, shortName.size(), shortName.begin());
    const Bytes all = kvx512sim::LongNameEntries(name, shortName);
    std::vector<Bytes> entries;
    for (size_t at = 0; at < all.size(); at += 32) {
        entries.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at), all.begin() + static_cast<std::ptrdiff_t>(at + 32));
    }
    return entries;
}

void UnusualListings() {
    // An interrupted write: the group's short entry never came.
    auto stray = LongEntries(u"A name of thirty characters..", "NAMEOF~1TXT");
    stray.insert(stray.begin(), ShortEntry("BEFORE  TXT"));
    WriteSeed("storage_listing", "stray_long_name_group", RawListing(2, stray));
    // A group left of another name before a short entry of its own.
    auto foreign = LongEntries(u"Other name.txt", "OTHERN~1TXT");
    foreign.push_back(ShortEntry("PLAIN   TXT"));
    WriteSeed("storage_listing", "foreign_long_name_group", RawListing(1, foreign));
    // U+5929 U+7A7A in UTF-8: the first byte 0xE5 kept as 0x05.
    auto e5 = LongEntries(u"\u5929\u7A7A.mp3", "\x05\xA4\xA9\xE7\xA9\xBA  MP3");
    e5.push_back(ShortEntry("\x05\xA4\xA9\xE7\xA9\xBA  MP3"));
    WriteSeed("storage_listing", "name_starting_e5", RawListing(1, e5));
    // More files claimed than entries follow.
    WriteSeed("storage_listing", "header_claims_more",
              RawListing(300, {ShortEntry("A       TXT"), ShortEntry("B       TXT"), ShortEntry("C       TXT")}));
}

void FolderPath(kvx512sim::Player& player) {
    const uint32_t folder = player.FolderNumber(0, "/Long folder name/Inner");
    portio::Session().SetCurrentFolder(0, static_cast<int>(folder));
    player.ClearTranscript();
    char text[512];
    portio::Session().GetFolderPath(0, text);
    const auto replies = CommandReplies(player);
    // The entries' length at 5, the entries from 7 on and on into the blocks after.
    const size_t length = size_t{replies.front()[5]} << 8 | replies.front()[6];
    Bytes entries(replies.front().begin() + 7, replies.front().end());
    for (size_t i = 1; i < replies.size(); ++i) {
        Append(entries, replies[i]);
    }
    entries.resize(length);
    WriteSeed("folder_path", "two_folders", entries);
    portio::Session().SetCurrentFolder(0, 0);
}

void StateFile(kvx512sim::Player& player) {
    const auto path = std::filesystem::temp_directory_path() / "qrm284-corpus-state";
    player.SaveState(path.string());
    std::ifstream in(path, std::ios::binary);
    WriteSeed("state_file", "files_and_folders", Bytes(std::istreambuf_iterator<char>(in), {}));
    std::filesystem::remove(path);
    kvx512sim::Player empty;
    empty.SaveState(path.string());
    std::ifstream again(path, std::ios::binary);
    WriteSeed("state_file", "empty", Bytes(std::istreambuf_iterator<char>(again), {}));
    std::filesystem::remove(path);
}

// What a client sends the server: the records as the client side lays them out.
usbip::OpHeader Operation(uint16_t code) {
    usbip::OpHeader header;
    header.version.Set(usbip::ProtocolVersion);
    header.code.Set(code);
    return header;
}

usbip::SubmitCommand Submit(uint32_t seqnum, bool in, uint32_t endpoint, uint32_t length) {
    usbip::SubmitCommand command;
    command.header.command.Set(usbip::CmdSubmit);
    command.header.seqnum.Set(seqnum);
    command.header.devid.Set(1u << 16 | 2);
    command.header.direction.Set(in ? usbip::DirectionIn : usbip::DirectionOut);
    command.header.endpoint.Set(endpoint);
    command.bufferLength.Set(length);
    return command;
}

void ServerRequests() {
    Bytes devlist;
    AppendRecord(devlist, Operation(usbip::OpReqDevlist));
    WriteSeed("usbip_server", "device_list", devlist);

    Bytes session;
    AppendRecord(session, Operation(usbip::OpReqImport));
    usbip::ImportRequest import;
    import.busId[0] = '1';
    import.busId[1] = '-';
    import.busId[2] = '1';
    AppendRecord(session, import);
    // SET_CONFIGURATION 1, then "Y" on pipe 2 and its reply on pipe 3.
    auto control = Submit(1, false, 0, 0);
    control.setup = {0x00, 0x09, 0x01, 0, 0, 0, 0, 0};
    AppendRecord(session, control);
    Bytes command(512, 0);
    const char y[] = "#\0\x01:Y.";
    std::copy(y, y + 6, command.begin());
    AppendRecord(session, Submit(2, false, 2, 512));
    Append(session, command);
    AppendRecord(session, Submit(3, true, 3, 512));
    usbip::UnlinkCommand unlink;
    unlink.header.command.Set(usbip::CmdUnlink);
    unlink.header.seqnum.Set(4);
    unlink.header.devid.Set(1u << 16 | 2);
    unlink.unlinkSeqnum.Set(3);
    AppendRecord(session, unlink);
    WriteSeed("usbip_server", "import_and_urbs", session);
}

// What a server sends the client: the records as the simulated server writes them.
void ClientReplies() {
    namespace server = kvx512sim::server;
    server::ExportedDevice device;
    device.busId = "1-1";
    device.path = "/sys/devices/platform/kvx512-sim/usb1/1-1";
    device.vendorId = kvx512sim::VendorId;
    device.productId = 0x0301;
    device.interfaces.push_back({0xFF, 0, 0});

    Bytes devlist{0};
    Append(devlist, server::OpHeader(server::OpRepDevlist, 0));
    Append(devlist, {0, 0, 0, 1});
    Append(devlist, server::DeviceRecord(device, true));
    WriteSeed("usbip_client", "device_list", devlist);

    Bytes session{1};
    Append(session, server::OpHeader(server::OpRepImport, 0));
    Append(session, server::DeviceRecord(device, false));
    const Bytes block(512, 0x23);
    Append(session, server::RetSubmitRecord(1, 0, block, 512));
    Append(session, server::RetSubmitRecord(2, 0, block, 512));
    Append(session, server::RetSubmitRecord(3, 0, block, 512));
    Append(session, server::RetSubmitRecord(4, -110, {}, 0));
    Append(session, server::RetUnlinkRecord(5, -104));
    Append(session, server::RetSubmitRecord(6, 0, {}, 512));
    WriteSeed("usbip_client", "import_and_urbs", session);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    corpusRoot = argv[1];
    ::setenv("KVX512_USB", "sim", 1);
    kvx512sim::Bus::Instance().RecordTranscripts(true);
    kvx512sim::Player& player = kvx512sim::Bus::Instance().GetPlayer(0);
    player.MakeFolder(0, "/Long folder name");
    player.MakeFolder(0, "/Long folder name/Inner");
    player.PutFile(0, "/SONG.MP3", Bytes(100, 1));
    player.PutFile(0, "/A rather long file name.wma", Bytes(2000, 2), 1);
    player.PutFile(1, "/VOICE001.WAV", Bytes(600, 3));

    Identification(player);
    Listings(player);
    UnusualListings();
    FolderPath(player);
    StateFile(player);
    ServerRequests();
    ClientReplies();
    return 0;
}
