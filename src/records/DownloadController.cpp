#include "records/DownloadController.h"

#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "link/Link.h"
#include "link/LinkSession.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "records/PendingDownload.h"
#include "records/RecordStore.h"
#include "records/RecordTransfer.h"
#include "records/RecordsRepository.h"
#include "records/RecordsState.h"

namespace nbx {

DownloadController::DownloadController(Link& link, DownloadUi& ui, Clock now)
    : link_(link), ui_(ui), now_(now ? std::move(now) : Clock(&QDateTime::currentDateTime))
{
}

void DownloadController::stop()
{
    link_.state.PararRecepcion = true;
    link_.state.PararMarcado = true;
}

bool DownloadController::run()
{
    if (running_)
        return false;
    if (ui_.shownSerial() == 0) {
        prompter().message(GetS(28), Prompter::Icon::Information);
        return false;
    }
    running_ = true;
    bool rangeAccepted = false;
    bool done = false;
    SessionHooks hooks;
    hooks.phone = ui_.phone();
    hooks.before = [&] {
        RecordsState& st = recordsState();
        st.rangoCancelado = !ui_.askRange(st.rangoFechas);
        rangeAccepted = !st.rangoCancelado;
        range_ = st.rangoFechas;
        return rangeAccepted;
    };
    hooks.busy = [&](bool on) {
        if (on) {
            frames_ = 0;
            showCounter();
        }
        ui_.setBusy(on);
    };
    hooks.exchange = [&](Link&) {
        done = exchange();
        return done;
    };
    const SessionOutcome out = LinkSession(link_, Operation::DescargarRegistros, hooks).run();
    link_.state.PararRecepcion = false;
    link_.state.PararMarcado = false;
    // Every ending after an accepted range reloads the device shown with what was stored.
    if (out != SessionOutcome::Refused && rangeAccepted)
        ui_.reloadDevice();
    running_ = false;
    return done;
}

void DownloadController::showCounter()
{
    ui_.setCounter(frames_);
    framesShown_ = frames_;
    counterShown_.start();
}

void DownloadController::countFrame()
{
    ++frames_;
    if (counterShown_.elapsed() >= kCounterEveryMs)
        showCounter();
}

bool DownloadController::exchange()
{
    LinkState& st = link_.state;
    const qint32 serial = st.NumeroSerieEqp;
    if (serial != ui_.shownSerial() && !ui_.showDevice(serial)) {
        prompter().message(GetS(29) + QString::number(serial), Prompter::Icon::Critical);
        return false;
    }
    // Before any record comes, the mark of records that may be missing reaches back to FROM: every
    // ending short of FROM, a kill included, leaves it for the next download's default range. A
    // database that refuses even this keeps nothing of the download.
    QSqlDatabase db = mainDb();
    const QDateTime from = range_.from();
    const std::optional<QDateTime> pendingBefore = pendingFrom(db, serial);
    const QDateTime resume = pendingBefore && *pendingBefore < from ? *pendingBefore : from;
    QString error;
    int code = 0;
    if (resume != pendingBefore && !setPendingFrom(db, serial, resume, &error, &code)) {
        reportDatabaseFailure(DatabaseTask::Download, {}, code, error);
        return false;
    }
    RecordStore store;
    TransferContext c{link_, store, serial, from, [this] { countFrame(); }, resume};
    // After the program's end was asked for no further request goes out.
    auto request = [this](uint8_t command) {
        if (quitPending())
            return false;
        link_.port.write(requestFrame(command, range_));
        return true;
    };
    auto receive = [&] {
        if (!request(cmd::ComandoTotales))
            return false;
        Totals totals;
        QDateTime stamp;
        if (!RecibirTotales(c, now_, &totals, &stamp))
            return false;
        ui_.showTotals(totals, stamp);

        if (!request(cmd::ComandoFechas))
            return false;
        if (!RecibirFechas(c))
            return false;

        if (!request(cmd::ComandoIntervalos))
            return false;
        if (!RecibirIntervalos(c) || st.PararRecepcion)
            return false;

        if (!request(cmd::ComandoSesiones))
            return false;
        return RecibirSesiones(c);
    };
    const bool ok = receive();
    if (framesShown_ != frames_)
        showCounter();
    // Every way out (the end, Stop, a failure) commits what was received, or says it could not.
    if (!store.commit(&error)) {
        reportDatabaseFailure(DatabaseTask::DownloadRecords, resume.toString(QStringLiteral("dd/MM/yy HH:mm")),
                              store.failureCode(), error);
        return false;
    }
    // A download stopped between two session records, or ended by the program's end, is not
    // reported as complete.
    const bool complete = ok && !st.PararRecepcion && !quitPending();
    // Whatever ended it short of FROM (a line fault, Stop, the close box, the program's end, the
    // database) leaves the mark written before the first record: the records older than the
    // oldest one received, intervals or sessions, come again with the next default range.
    if (!complete)
        return false;
    RecordsRepository repo(db);
    QString readError;
    const std::optional<QDateTime> newest = repo.newestIntervalStart(serial, &readError);
    const std::optional<QDateTime> pendingAfter =
        readError.isEmpty() ? pendingAfterComplete(pendingBefore, from, range_.to(), c.newestInterval, newest) : resume;
    if (pendingAfter != resume && !setPendingFrom(db, serial, pendingAfter, &error, &code))
        reportDatabaseFailure(DatabaseTask::Save, {}, code, error);
    prompter().message(GetS(61), Prompter::Icon::Information);
    return true;
}

} // namespace nbx
