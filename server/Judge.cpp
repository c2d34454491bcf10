// The rules for a submitted score: only a game that really ended with the claimed points counts.
#include <string>

#include "server/Verifier.h"

namespace blubbi::hiscore {

TJudgement Judge(const TVerifyResult& s, int32_t claimedPoints, int64_t maxFrames) {
    TJudgement j;
    switch (s.Status) {
        case TVerifyResult::TStatus::Malformed:
            j.Status = 400;
            // A line well formed but one no real session writes says why; the others are unreadable.
            j.Reason = s.ForPlayer.empty() ? "Die Wiederholung ist unlesbar: " + s.Fault() + "."
                                           : "Die Wiederholung kann so nicht gespielt worden sein: " + s.Fault();
            return j;
        case TVerifyResult::TStatus::LimitExceeded:
            j.Status = 413;
            j.Reason = !s.ForPlayer.empty()
                           ? s.ForPlayer
                           : "Die Wiederholung ist zu lang (höchstens " + std::to_string(maxFrames) + " Bilder).";
            return j;
        case TVerifyResult::TStatus::Running:  // a check that was never done
        case TVerifyResult::TStatus::Cancelled:
            j.Status = 503;
            j.Reason = "Die Prüfung der Wiederholung hat zu lange gedauert. Bitte später noch einmal senden.";
            return j;
        case TVerifyResult::TStatus::Mismatch:
            j.Status = 422;
            j.Reason = "Die Wiederholung stimmt nicht mit dem Spiel überein: " + s.Fault() + ".";
            return j;
        case TVerifyResult::TStatus::Ok: break;
    }
    if (!s.DataMatch) {
        j.Status = 422;
        j.Reason = "Die Wiederholung wurde mit anderen Spieldaten aufgenommen als denen dieses Servers.";
        return j;
    }
    if (!s.EndedInGameOver) {
        j.Status = 422;
        j.Reason = "Die Wiederholung endet nicht mit „Game Over“.";
        return j;
    }
    if (s.PointsAtEnd() != claimedPoints) {
        j.Status = 422;
        j.Reason = "Gemeldet wurden " + std::to_string(claimedPoints) + " Punkte, das Spiel endete aber mit " +
                   std::to_string(s.PointsAtEnd()) + " Punkten.";
        return j;
    }
    j.Status = 201;
    j.Store = true;
    j.Verified = true;
    if (!s.FreshStart())
        j.Note = "kein Spielbeginn auf Level 1";
    else if (s.EditorUsed)
        j.Note = "Level-Editor benutzt";
    else if (s.CheatUsed)
        j.Note = "Schummelcode benutzt";
    else if (s.UserLevels)
        j.Note = "eigene Level gespielt";
    j.Ranked = j.Note.empty();
    j.Reason = j.Ranked ? "Geprüft und eingetragen."
                        : "Geprüft und ohne Platz eingetragen (" + j.Note +
                              "): nur Spiele, die auf Level 1 beginnen, mit den Leveln des "
                              "Spiels, ohne Editor und ohne Schummelcode bekommen einen Platz.";
    return j;
}

}  // namespace blubbi::hiscore
