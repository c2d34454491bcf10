// The German answers for what goes wrong, and the log line of a handler's exception.
#include "server/ErrorAnswers.h"

#include <iostream>

#include "server/Answers.h"

namespace blubbi::hiscore {

// Answers for what goes wrong: the edge's and the routes' own, and a handler's exception.
void InstallErrors(THttpRoutes& server, TServiceContext& c) {
    // Answers without a text of their own (unknown path, unreadable or too big a request) get a German one.
    server.OnError = [](const THttpRequest& req, THttpResponse& res) {
        if (!res.Body.empty()) return;
        std::string reason;
        switch (res.Status) {
            case 404: reason = "Nicht gefunden."; break;
            case 413: reason = kTooBig; break;
            case 400: reason = "Die Anfrage ist fehlerhaft."; break;
            case 405: reason = "Diese Methode gibt es hier nicht."; break;
            case 431: reason = "Die Kopfzeilen der Anfrage sind zu lang."; break;
            case 503: reason = "Der Server ist gerade ausgelastet. Bitte gleich noch einmal."; break;
            default: reason = "Fehler " + std::to_string(res.Status) + ".";
        }
        if (req.Path.rfind("/api/", 0) == 0)
            Refuse(res, res.Status, reason);
        else
            res.SetContent(reason + "\n", "text/plain; charset=utf-8");
    };

    server.OnException = [&c](const THttpRequest& req, THttpResponse& res, const std::exception_ptr& ep) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(ep);
        } catch (const TStoreError& e) {
            what = e.what();
            const std::lock_guard guard(c.CountsLock);
            ++c.DbErrors;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {}
        std::cerr << "blubbi-hiscore: " << req.Method << " " << req.Path << ": " << what << std::endl;
        const std::string reason = "Der Server kann die Anfrage gerade nicht bearbeiten. Bitte später noch einmal.";
        if (req.Path.rfind("/api/", 0) == 0) {
            Refuse(res, 503, reason);
        } else {
            res.Status = 503;
            res.SetContent(reason + "\n", "text/plain; charset=utf-8");
        }
    };
}

}  // namespace blubbi::hiscore
