// tarnvel match: games in worker processes, resumed from the PDN file,
// training records and times that agree with the PDN, and the faults of
// an engine that plays illegally, dies or hangs.
#include <cstring>
#include <set>

#include "pdn_io.h"
#include "tools/cli_run.h"
#include "training_record.h"

namespace tarnvel::testing {
namespace {

using namespace tarnvel::cli;

const std::string V13 = " --engine v1.3", FAULTY = " --engine " TARNVEL_BINARY_DIR "/libtarnvel_faulty_engine.so";

class Match : public ScratchDirTest {};

// Two games, then one more on --resume: every round once, the table's
// tally that of the PDN results, and each training record the position
// of its ply in its game, with the game's result for the side to move.
TEST_F(Match, ResumedConcurrentMatchAgreesWithItsFiles) {
    const std::string args = "match" + V13 + V13 + " --time 0.001 --hash 4 --concurrency 2 --random-plies 2 --seed 7"
                             " --pdn-out m.pdn --positions-out p.bin --times-out t.tsv";
    ASSERT_EQ(run(TARNVEL + args + " --games 2").first, 0);
    const auto [status, out] = run(TARNVEL + args + " --games 3 --resume");
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("resuming from m.pdn: 2 games finished, 1 to play\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(the 1 game played in this run; the 2 games resumed are not in it):"), std::string::npos) << out;

    std::vector<PdnGame> games;
    std::string error;
    ASSERT_TRUE(readPdn(readText("m.pdn"), games, error)) << error;
    ASSERT_EQ(games.size(), 3u);
    const std::string bytes = readText("p.bin");
    ASSERT_EQ(bytes.size() % sizeof(TrainingRecord), 0u);
    std::vector<TrainingRecord> records(bytes.size() / sizeof(TrainingRecord));
    std::memcpy(records.data(), bytes.data(), bytes.size());
    size_t next = 0, engineMoves = 0;
    std::set<std::string> rounds;
    std::vector<std::vector<std::string>> openings(3);
    int aWins = 0, aLosses = 0, draws = 0;
    for (const PdnGame& g : games) {
        GameRecord record;
        ASSERT_TRUE(replayPdnGame(g, record, error)) << error;
        const int round = std::stoi(*findTag(g, "Round"));
        rounds.insert(*findTag(g, "Round"));
        openings[round - 1].assign(record.moves.begin(), record.moves.begin() + 5);
        const int aBlack = round % 2, blackWins = g.result == "2-0", whiteWins = g.result == "0-2";
        aWins += aBlack ? blackWins : whiteWins;
        aLosses += aBlack ? whiteWins : blackWins;
        draws += g.result == "1-1";
        engineMoves += record.moves.size() - 5;
        for (size_t ply = 5; ply < record.moves.size(); ++ply) {
            const Position& p = record.positions[ply];
            if (legalMoves(p, ply % 2).size() < 2) continue;
            ASSERT_LT(next, records.size());
            const TrainingRecord r = records[next++];
            const int result = g.result == "1-1" ? 0 : (ply % 2 ? whiteWins : blackWins) ? 1 : -1;
            EXPECT_EQ(std::vector<long>({r.wm, r.wk, r.bm, r.bk, r.side, r.result, r.source, r.reserved, r.ply}),
                      std::vector<long>({p.wm, p.wk, p.bm, p.bk, long(ply % 2), result, 0, 0, long(ply)}));
            EXPECT_NE(r.score, UNKNOWN_SCORE);
        }
    }
    EXPECT_EQ(next, records.size());
    EXPECT_EQ(rounds, (std::set<std::string>{"1", "2", "3"}));
    // Both games of an opening share its random plies; the openings differ.
    EXPECT_TRUE(openings[0] == openings[1] && openings[0] != openings[2]);
    int table[4] = {};
    ASSERT_EQ(std::sscanf(out.substr(out.find("(A) ")).c_str(), "(A) %d %d %d %d", &table[0], &table[1], &table[2], &table[3]), 4) << out;
    EXPECT_EQ(std::vector(table, table + 4), (std::vector{3, aWins, aLosses, draws})) << out;
    const std::string times = readText("t.tsv");
    EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), 1 + static_cast<long>(engineMoves));
    EXPECT_EQ(times.substr(0, times.find('\n')), "game\tply\tengine\tallowance_ms\twall_ms\tfirst");

    // The same records made again from the PDN alone: the opening's plies
    // too, and no search score.
    ASSERT_EQ(run(TARNVEL + " pdn positions m.pdn --out q.bin").first, 0);
    const std::string again = readText("q.bin");
    ASSERT_EQ(again.size() % sizeof(TrainingRecord), 0u);
    std::vector<TrainingRecord> fromPdn(again.size() / sizeof(TrainingRecord));
    std::memcpy(fromPdn.data(), again.data(), again.size());
    next = 0;
    for (TrainingRecord r : fromPdn) {
        EXPECT_EQ(r.score, UNKNOWN_SCORE);
        if (r.ply < 5) continue;
        ASSERT_LT(next, records.size());
        r.score = records[next].score;
        EXPECT_EQ(std::memcmp(&r, &records[next++], sizeof r), 0) << "record " << next;
    }
    EXPECT_EQ(next, records.size());
}

// An illegal board forfeits the game, and is counted again on --resume;
// a worker that dies or hangs loses its game and the match says which.
TEST_F(Match, FaultsOfAnEngine) {
    const std::string common = "match" + FAULTY + V13 + " --time 0.01 --hash 4 --pdn-out f.pdn";
    const std::tuple<std::string, int, std::vector<std::string>> cases[] = {
        {"TARNVEL_FAULT= " + TARNVEL + common + " --games 2", 0,
         {"illegal boards: 2\n", "A as Black: +0 -1 =0, as White: +0 -1 =0"}},
        {"TARNVEL_FAULT= " + TARNVEL + common + " --games 2 --resume", 0,
         {"resuming from f.pdn: 2 games finished, 0 to play\n", "illegal boards: 2\n"}},
        {"TARNVEL_FAULT=kill " + TARNVEL + common + " --games 4 --concurrency 2", 1,
         {"game 2/4 lost: its worker was killed by signal 9 (Killed) during A's move as White at ply 3\n",
          "stopping: 3 games lost\n", "4 games not played (rounds 1, 2, 3, 4): run the same command with --resume to play them\n"}},
        {"TARNVEL_FAULT=hang " + TARNVEL + common + " --games 1 --move-limit 0.5", 1,
         {"game 1/1 lost: its worker gave no answer within 0.5 s during A's move as Black at ply 4 and was stopped\n",
          "1 game not played (round 1): run the same command with --resume to play it\n"}},
    };
    for (const auto& [command, status, texts] : cases) {
        const auto [got, out] = run(command);
        EXPECT_EQ(got, status) << command << "\n" << out;
        for (const std::string& text : texts) EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    }
}

// --resume counts only rounds of this match, each once, as they were played.
TEST_F(Match, ResumeRefusesGamesOfAnotherMatch) {
    const std::string names = "[Black \"Tarnvel v1.3 (A)\"]\n[White \"Tarnvel v1.3 (B)\"]\n", opening = "1. 12-16 24-20 2. 8-12 ";
    const std::pair<std::string, std::string> cases[] = {
        {"[Round \"3\"]\n" + names + opening + "2-0", "game 1 (round 3) is not one of this match's 2 games (another --games?)"},
        {"[Round \"1\"]\n" + names + opening + "2-0\n[Round \"1\"]\n" + names + opening + "2-0", "game 2 (round 1) is there twice"},
        {"[Round \"2\"]\n" + names + opening + "2-0", "game 1 (round 2): played by 'Tarnvel v1.3 (A)' and 'Tarnvel v1.3 (B)', "
                                                          "not 'Tarnvel v1.3 (B)' and 'Tarnvel v1.3 (A)' (other engines?)"},
        {"[Round \"1\"]\n" + names + "1. 9-13 2-0", "game 1 (round 1): does not start with its opening (another --random-plies or --seed?)"},
        {"[Round \"1\"]\n" + names + opening + "1-1", "game 1 (round 1): ends in 1-1 where the position gives *"},
    };
    for (const auto& [pdn, why] : cases) {
        writeText("r.pdn", pdn);
        EXPECT_EQ(run(TARNVEL + "match" + V13 + V13 + " --games 2 --resume --pdn-out r.pdn"),
                  std::pair(1, "tarnvel match: cannot resume from r.pdn: " + why + "\n"));
    }
}

TEST(MatchRecords, ScoreFromReportLine) {
    const std::pair<const char*, int> scores[] = {
        {"Tarnvel 1.3 => value=-12  depth=9/14", -12}, {"x => win=7 depth=3", 32493}, {"loss=4", -32496},
        {"win=-300", 32767}, {"loss=-300", -32767}, {"value=99999", 32767}, {"value=", UNKNOWN_SCORE},
        {"", UNKNOWN_SCORE}, {"evalue=3 nodes=1", UNKNOWN_SCORE}, {"value=7x", UNKNOWN_SCORE}};
    for (const auto& [report, score] : scores) EXPECT_EQ(scoreFromReport(report), score) << report;
}

}  // namespace
}  // namespace tarnvel::testing
