// tarnvel-egdb sample on the built 4-piece database: quiet positions
// (checked with the reference rules), the database's verdict for the side
// to move, the same file for the same seed, and its refusals.
#include <cstring>

#include "board/bitboard.h"
#include "egdb/database.h"
#include "support/reference_board.h"
#include "tarnvel/tarnvel.h"
#include "tools/cli_run.h"
#include "tools/train/training_record.h"

namespace tarnvel::testing {
namespace {

std::vector<TrainingRecord> recordsOf(const std::string& bytes) {
    std::vector<TrainingRecord> r(bytes.size() / sizeof(TrainingRecord));
    std::memcpy(r.data(), bytes.data(), r.size() * sizeof(TrainingRecord));
    return r;
}

TEST_F(FourPieces, SampleWritesQuietPositionsWithTheDatabasesVerdict) {
    const std::string sample = EGDB + "sample db --pieces 2 --max-pieces 4 --count 3000 --out ";
    ASSERT_EQ(run(sample + "a.rec --seed 5").first, 0);
    ASSERT_EQ(run(sample + "b.rec --seed 5").first, 0);
    const auto [status, summary] = run(sample + "c.rec --seed 6");
    ASSERT_EQ(status, 0);
    EXPECT_NE(summary.find("wrote 3000 records of 2 to 4 pieces"), std::string::npos) << summary;
    EXPECT_EQ(readText("a.rec"), readText("b.rec"));
    EXPECT_NE(readText("a.rec"), readText("c.rec"));

    const std::vector<TrainingRecord> records = recordsOf(readText("a.rec"));
    ASSERT_EQ(records.size(), 3000u);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    ASSERT_EQ(openDatabase(64, text), 4);
    int byPieces[5] = {}, byResult[3] = {};
    for (const TrainingRecord& r : records) {
        const reference::Board board = reference::boardOf({r.wm, r.wk, r.bm, r.bk});
        for (bool white : {false, true}) {
            const std::vector<reference::Move> moves = reference::legalMoves(board, white);
            ASSERT_TRUE(moves.empty() || moves.front().captured.empty()) << r.wm << " " << r.bm;
        }
        const int white = popCount(r.wm | r.wk), black = popCount(r.bm | r.bk);
        ASSERT_TRUE(white >= 1 && black >= 1 && white <= 3 && black <= 3 && white + black <= 4);
        ASSERT_EQ(popCount(r.wm | r.wk | r.bm | r.bk), popCount(r.wm) + popCount(r.wk) + popCount(r.bm) + popCount(r.bk));
        const DbQuery q{r.bm, r.bk, r.wm, r.wk, r.side ? 1u : 2u};
        const int32_t verdict = probeDatabase(&q, 0);
        ASSERT_EQ(r.result, verdict == DB_WIN ? 1 : verdict == DB_LOSS ? -1 : verdict == DB_DRAW ? 0 : 9);
        ASSERT_TRUE(r.score == UNKNOWN_SCORE && r.source == RECORD_FROM_DATABASE && r.reserved == 0 && r.ply == 0 && r.side <= 1);
        ++byPieces[white + black];
        ++byResult[r.result + 1];
    }
    closeDatabase();
    for (int n = 2; n <= 4; ++n) EXPECT_GT(byPieces[n], 800) << n;
    for (int count : byResult) EXPECT_GT(count, 100);
}

TEST_F(FourPieces, SampleRefusals) {
    std::filesystem::create_directories("notdb");
    const std::tuple<std::string, int, std::string> cases[] = {
        {"sample db --pieces 5 --count 10 --out x.rec", 1, "covers 4 pieces, not 5"},
        {"sample notdb --pieces 3 --count 10 --out x.rec", 2, "must be a directory named db"},
        {"sample db --pieces 8 --count 10 --out x.rec", 2, "--pieces"},
        {"sample db --pieces 3 --count 10", 2, "--out is required"},
        {"sample db --pieces 3 --count 10 --out nodir/x.rec", 1, "cannot write"},
    };
    for (const auto& [arguments, status, words] : cases) {
        const auto [got, output] = run(EGDB + arguments);
        EXPECT_EQ(got, status) << arguments << ": " << output;
        EXPECT_NE(output.find(words), std::string::npos) << arguments << ": " << output;
    }
    EXPECT_FALSE(std::filesystem::exists("x.rec"));
}

}  // namespace
}  // namespace tarnvel::testing
