// Run-length coding of one slice's results into 1024-byte blocks.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnvel {

// Marks a position the engine never asks about; it takes whatever value
// makes the codes shortest.
constexpr uint8_t RESULT_ANY = 0;

// Where a slice's codes went in its compressed file.
struct EncodedSlice {
    uint32_t firstBlock;       // file block of the first code
    uint32_t startByte;        // offset of the first code in that block
    std::vector<uint32_t> idx;  // first position index coded in each block
};

// Appends the codes of `results` (1 win, 2 loss, 3 draw or RESULT_ANY, by
// position index) to `file`, the bytes of a compressed file so far. Every
// block the slice fills is filled to its last byte.
EncodedSlice encodeSlice(const std::vector<uint8_t>& results, std::vector<uint8_t>& file);

}  // namespace tarnvel
