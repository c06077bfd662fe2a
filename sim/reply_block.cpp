#include "sim/reply_block.h"

#include <algorithm>

namespace kvx512sim {

std::vector<uint8_t> ShortReply(uint8_t result, const uint8_t* data, size_t size) {
    size = std::min<size_t>(size, BlockSize - 7);
    std::vector<uint8_t> block(BlockSize, 0);
    block[0] = '#';
    block[1] = 0;
    block[2] = static_cast<uint8_t>(3 + size);
    block[3] = ':';
    block[4] = result;
    std::copy_n(data, size, block.begin() + 5);
    block[5 + size] = '.';
    return block;
}

std::vector<uint8_t> ShortReply(uint8_t result, std::initializer_list<uint8_t> data) {
    return ShortReply(result, data.begin(), data.size());
}

} // namespace kvx512sim
