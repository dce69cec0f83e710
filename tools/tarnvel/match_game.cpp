#include "match_game.h"

#include <algorithm>
#include <chrono>

#include "engine_turn.h"
#include "interface/postext.h"
#include "pdn_io.h"

namespace tarnvel::cli {

namespace {

const char* colour(int white) { return white ? "White" : "Black"; }

}  // namespace

PlayedGame playMatchGame(long round, const GameRecord& start, MatchPlayer players[MATCH_PLAYERS],
                         int blackPlayer, double seconds, const BeforeMove& beforeMove) {
    PlayedGame game;
    game.round = round;
    GameRecord record = start;
    bool first[2] = {true, true};
    std::vector<char> text(ENGINE_TEXT_SIZE);
    for (;;) {
        const Adjudication a = adjudicate(record);
        if (a.outcome != Outcome::ONGOING) {
            game.outcome = a.outcome;
            game.reason = a.reason;
            break;
        }
        const int side = sideToMove(record);
        const int who = side ? 1 - blackPlayer : blackPlayer;
        const MatchPlayer& mover = players[who];
        const Position now = currentPosition(record);
        const uint32_t ply = static_cast<uint32_t>(record.moves.size());
        const bool choice = legalMoves(now, side).size() > 1;
        beforeMove(mover.label + "'s move as " + colour(side) + " at ply " + std::to_string(ply));

        int board[8][8] = {};
        hostBoardOf(now, board);
        std::fill(text.begin(), text.end(), '\0');
        int playNow = 0;
        const auto started = std::chrono::steady_clock::now();
        const int code =
            mover.engine.getmove(board, side ? HOST_WHITE : HOST_BLACK, seconds, text.data(),
                                 &playNow, first[side] ? NEW_GAME_FLAG : 0, 0, 0);
        const std::chrono::duration<double, std::milli> wall =
            std::chrono::steady_clock::now() - started;
        const EngineTurn turn = readEngineTurn(now, side, board, text.data(), text.size(), code);

        game.times.push_back({ply, static_cast<uint8_t>(who), first[side], wall.count()});
        first[side] = false;
        if (choice)
            game.positions.push_back(gamePositionRecord(now, side, scoreFromReport(turn.report), ply));
        if (!turn.legal) {
            game.outcome = side ? Outcome::BLACK_WINS : Outcome::WHITE_WINS;
            game.reason = mover.label + " (" + colour(side) + ") handed back an illegal board " +
                          positionText(turn.returned, !side);
            game.forfeit = who;
            break;
        }
        playMove(record, turn.move);
    }
    for (TrainingRecord& r : game.positions) r.result = resultFor(game.outcome, r.side);
    game.plies = record.moves.size();
    const std::vector<PdnTag> tags = {{"Event", "Tarnvel match"},
                                      {"Date", pdnDate()},
                                      {"Round", std::to_string(round + 1)},
                                      {"Black", players[blackPlayer].name},
                                      {"White", players[1 - blackPlayer].name}};
    game.pdn = writePdnGame(tags, record, game.reason, pdnResult(game.outcome));
    return game;
}

}  // namespace tarnvel::cli
