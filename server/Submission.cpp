// A game sent to the list: the address's turn, the memory, the cheap checks, the re-play, and its entry.
#include "server/Submission.h"

#include <ctime>

#include "base/Gzip.h"
#include "base/Sha256.h"
#include "server/Answers.h"
#include "server/Form.h"
#include "server/RequestLog.h"

namespace blubbi::hiscore {

using nlohmann::json;

namespace {

// The verdict of a submission as answered: a game entered before is "known" to the one who entered it
// and refused to anyone else.
void AnswerKnownGame(TServiceContext& c, THttpResponse& res, int64_t id, const std::string& name) {
    AnswerKnown(c.Store, res, id, name);
    Verdict = res.Status == 200 ? "known" : "refused";
}

}  // namespace

void Submit(TServiceContext& c, const THttpRequest& req, THttpResponse& res) {
    // The body (at most 1 MB) has been read; everything else waits for the address's turn.
    const std::string client = ClientAddress(c, req);
    int wait = 0;
    if (!c.Rate.Take(client, TRateLimit::TClock::now(), wait)) {
        res.SetHeader("Retry-After", std::to_string(wait));
        return Refuse(res, 429,
                      "Zu viele Einsendungen von dieser Adresse. Bitte in " + std::to_string(wait) +
                          " Sekunden noch einmal versuchen.");
    }
    // Room for the form's copy of the body and the unpacked replay, beside the others in work.
    auto memory = c.Memory.Take(2 * req.Body.size() + kMaxReplayBytes, c.Limits.MemoryWait);
    if (!memory) {
        res.SetHeader("Retry-After", "5");
        return Refuse(res, 503, "Der Server hat gerade zu viele Einsendungen in Arbeit. Bitte gleich noch einmal.");
    }
    auto form = ReadSubmission(req);
    if (!form.Submission) return Refuse(res, form.Status, form.Reason);
    auto& s = *form.Submission;
    memory->Keep(2 * req.Body.size() + s.Replay.size());
    if (c.Store.Banned("address", TRateLimit::Bucket(client)) || c.Store.Banned("name", s.Name))
        return Refuse(res, 403, "Einsendungen unter diesem Namen oder von dieser Adresse werden nicht angenommen.");
    if (!c.Verifier)
        return Refuse(res, 503, "Dieser Server kann Wiederholungen nicht prüfen und nimmt keine Punkte an.");

    // Cheap checks first: the head's frame count, then whether these very bytes were entered already.
    TVerifyResult unread;
    const auto declared = c.Verifier->DeclaredFrames(s.Replay, unread);
    if (!declared)
        return Refuse(res, 400,
                      unread.Line > 0 ? Judge(unread, s.Points, c.Limits.MaxFrames).Reason
                                      : std::string("Die Wiederholung ist unlesbar."));
    if (*declared > c.Limits.MaxFrames)
        return Refuse(res, 413,
                      "Die Wiederholung ist zu lang (höchstens " + std::to_string(c.Limits.MaxFrames) + " Bilder).");
    const std::string hash = Sha256Hex(s.Replay);
    if (const auto known = c.SeenBefore(hash)) return AnswerKnownGame(c, res, *known, s.Name);

    auto replay = std::make_shared<std::string>(std::move(s.Replay));
    TScoreVerifier* verifier = c.Verifier;
    const int64_t maxFrames = c.Limits.MaxFrames;
    TVerifyResult summary;
    const auto checkStart = std::chrono::steady_clock::now();
    // The job holds the replay's memory until it ends, also when its answer has gone for its time.
    const auto outcome = c.Pool.Run<TVerifyResult>(
        [replay, verifier, maxFrames, memory](const std::atomic<bool>& cancel) {
            return verifier->Verify(*replay, maxFrames, cancel);
        },
        std::chrono::steady_clock::now() + c.Limits.VerifyTime, summary);
    // What the sender chooses, the length and the kind of its game, it pays for: each second of
    // checking costs another submission.
    const auto checkEnd = std::chrono::steady_clock::now();
    c.Rate.Charge(client, std::chrono::duration<double>(checkEnd - checkStart).count(), checkEnd);
    CheckMs = std::chrono::duration<double, std::milli>(checkEnd - checkStart).count();
    Verdict = "refused";
    if (outcome == TVerifyPool::TOutcome::Busy) {
        res.SetHeader("Retry-After", "10");
        return Refuse(res, 503, "Der Server prüft gerade zu viele Spiele. Bitte später noch einmal senden.");
    }
    if (outcome == TVerifyPool::TOutcome::TimedOut) {
        summary = TVerifyResult{};
        summary.Status = TVerifyResult::TStatus::Cancelled;
    }

    const auto j = Judge(summary, s.Points, c.Limits.MaxFrames);
    if (!j.Store) {
        if (j.Status == 503) res.SetHeader("Retry-After", "30");
        return Refuse(res, j.Status, j.Reason);
    }
    TNewScore score;
    score.Name = s.Name;
    score.Points = s.Points;
    score.Level = summary.LevelAtEnd();  // reached, not where its answer led
    score.Frames = summary.Frames;
    score.Verified = j.Verified;
    score.Ranked = j.Ranked;
    score.Note = j.Note;
    // One game is one entry, whatever its text: the check knows it by what it computed.
    score.ReplayHash = summary.GameId.empty() ? hash : summary.GameId;
    if (const auto known = c.Store.FindByHash(score.ReplayHash)) {
        c.Seen(hash, *known);
        return AnswerKnownGame(c, res, *known, s.Name);
    }
    // Kept packed: a tenth of the text, served as it is to clients that take gzip.
    score.Replay = Gzip(*replay);
    replay.reset();
    score.CreatedAt = static_cast<int64_t>(std::time(nullptr));
    score.DataVersion = summary.DataHash;
    const auto added = c.Store.Add(score);
    c.Changed();
    c.Seen(hash, added.Id);
    if (added.Created) c.DrawLater(added.Id, client);
    if (!added.Created) return AnswerKnownGame(c, res, added.Id, s.Name);
    Verdict = j.Ranked ? "ranked" : "unranked";
    const auto entry = c.Store.Get(added.Id);
    auto body = entry ? EntryJson(*entry) : json{{"id", added.Id}, {"rank", nullptr}, {"verified", j.Verified}};
    body["duplicate"] = false;
    body["reason"] = j.Reason + (entry ? PlaceText(*entry) : std::string());
    SendJson(res, j.Status, body);
}

}  // namespace blubbi::hiscore
