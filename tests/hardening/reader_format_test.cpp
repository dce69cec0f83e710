// Database files as other tools may make them, read as the format says.
#include <fstream>

#include "egdb/egdb_support.h"
#include "hardening/hardening_support.h"

namespace tarnvel::hardening {
namespace {

class ReaderFormat : public HostTest {};

// A compressed file that ends inside its last block: that block is still
// a block, its missing bytes zero, whether preloaded or read on a miss.
TEST_F(ReaderFormat, FinalPartialBlockOfACompressedFile) {
    const std::vector<SliceResults> written = writeKnownDatabase(3);
    std::string bytes = testing::readText("db/db3.cpr");
    ASSERT_EQ(bytes.size() % 1024, 0u);
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    ASSERT_NE(bytes.size() % 1024, 0u);
    std::ofstream("db/db3.cpr", std::ios::binary | std::ios::trunc) << bytes;

    for (const size_t memory : {SIZE_MAX, size_t{4096}}) {  // whole cache, or 3 blocks
        platform::limitMemoryRequests(memory);
        char progress[TARNVEL_TEXT_CAPACITY];
        ::testing::internal::CaptureStdout();
        ASSERT_EQ(openDatabase(1, progress), 4);
        ::testing::internal::GetCapturedStdout();
        int64_t checked = 0;
        for (const SliceResults& s : written)
            for (uint32_t i = 0; i < s.results.size(); i += 7) {
                DbQuery q;
                if (!positionAtIndex(s.key, i, &q)) continue;
                ASSERT_EQ(probeDatabase(&q, 0), s.results[i]) << memory << " index " << i;
                ++checked;
            }
        EXPECT_GT(checked, 5000);
        closeDatabase();
    }
}

// "set dbmbytes" is a signed 32-bit size: 2^31 MB and more are negative,
// which gives a 7-piece database its smallest cache, 64 MB.
TEST_F(ReaderFormat, CacheRequestsOf2To31MegabytesOrMoreAreNegative) {
    std::filesystem::create_directory("db");
    for (int n = 2; n <= 7; ++n) std::ofstream("db/db" + std::to_string(n) + ".idx");
    for (const char* request : {"2147483648", "4294967295", "100"}) {
        command(std::string("set dbmbytes ") + request);
        reference::Board board;
        board.cell[3][3] = reference::WHITE_KING;
        board.cell[6][6] = reference::BLACK_KING;
        HostBoard host = hostBoardOf(board);
        ::testing::internal::CaptureStdout();
        move(host, true, 1);
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(command("get dbmbytes"), std::string(request) == "100" ? "100" : "64") << request;
    }
}

}  // namespace
}  // namespace tarnvel::hardening
