#pragma once
// What Pullmark programs say to each other through their instance channel
// (see instancechannel.h): the requests, and the answers of the program
// that holds the configuration file.
//
//   {"command":"add","urls":[...]}  queue these files     -> {"ok":true,"added":N,"queued":M}
//   {"command":"download"}          download the queue    -> {"ok":true} from a window
//   {"command":"show","url":"..."}  bring the window up   -> {"ok":true} from a window
//   {"command":"hello"}             who holds the file?   -> {"ok":...,"holder":"window"|"run","pid":N}
// A command-line run answers "add" and, with "ok":false, the others.

#include <QJsonObject>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace pm {

class DownloadQueue;

QJsonObject addRequest(const QStringList& urls);
QJsonObject downloadRequest();
QJsonObject showRequest(const QUrl& page);
QJsonObject helloRequest();

// The command of a request, or "" when it is none.
QString requestCommand(const QJsonObject& request);

// Queues the files of an add request that are not queued yet. An empty
// object (no answer) when the request is not a well-formed one: every
// address must be an http or https address.
QJsonObject answerAdd(DownloadQueue& queue, const QJsonObject& request);

// The page of a show request (empty: none): a web address or a local file;
// nullopt when the request is malformed.
std::optional<QUrl> requestedPage(const QJsonObject& request);

// Who holds the configuration file, and whether the request was carried out.
QJsonObject holderAnswer(bool ok, bool window);

// What a run without a window answers: it queues the files of an add
// request in `queue` (nullptr: it takes none) and does nothing else.
QJsonObject answerAsRun(DownloadQueue* queue, const QJsonObject& request);

}  // namespace pm
