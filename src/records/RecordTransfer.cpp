#include "records/RecordTransfer.h"

#include "link/FrameReceiver.h"
#include "link/Link.h"
#include "localisation/DatabaseFailure.h"
#include "records/RecordStore.h"

namespace nbx {

namespace {

// One frame within the records' inactivity interval; messages shown by the receiver.
bool receive(Link& link)
{
    InactivityTimer timer(link.clock, link.timing.recordsTimeoutMs);
    return RecibirTrama(link, timer);
}

// The store refused what was received: `acknowledged` when the device was told that records had
// arrived that are not kept.
void storeFailure(TransferContext& c, bool acknowledged, const QString& error)
{
    c.storeFailed = true;
    const QDateTime resume = c.resumeFrom.isValid() ? c.resumeFrom : c.from;
    if (acknowledged)
        reportDatabaseFailure(DatabaseTask::DownloadRecords, resume.toString(QStringLiteral("dd/MM/yy HH:mm")),
                              c.store.failureCode(), error);
    else
        reportDatabaseFailure(DatabaseTask::Download, {}, c.store.failureCode(), error);
}

template <typename Record, typename Decode, typename Store>
bool recordLoop(TransferContext& c, Decode decode, Store store)
{
    Link& link = c.link;
    auto send = [&link](uint8_t b) { link.port.writeByte(b); };
    for (bool more = true;;) {
        if (!more || link.state.PararRecepcion) {
            if (link.state.PararRecepcion)
                send(ctl::CAN);
            return true;
        }
        if (!receive(link)) {
            send(ctl::CAN);
            return false;
        }
        if (c.counted)
            c.counted();
        const Decoded<Record> d = decode(link.BufferTrama, c.from, c.serial);
        QString error;
        switch (d.verdict) {
        case Verdict::End:
            more = false;
            break;
        case Verdict::Short:
            showReceiveError(ReceiveResult::BadFrame);
            send(ctl::CAN);
            return false;
        case Verdict::Skip:
        case Verdict::Drop:
            send(ctl::ACK);
            break;
        case Verdict::Older:
            send(ctl::CAN);
            more = false;
            break;
        case Verdict::Store:
            if (!store(d.record, &error)) {
                send(ctl::CAN);
                storeFailure(c, true, error);
                return false;
            }
            send(ctl::ACK);
            break;
        }
    }
}

} // namespace

bool RecibirTotales(TransferContext& c, const std::function<QDateTime()>& now, Totals* shown, QDateTime* stamp)
{
    if (!receive(c.link))
        return false;
    const QDateTime arrived = now();
    const std::optional<Totals> t = decodeTotals(c.link.BufferTrama);
    if (!t) {
        showReceiveError(ReceiveResult::BadFrame);
        return false;
    }
    QString error;
    if (!c.store.storeTotals(c.serial, *t, arrived, &error)) {
        storeFailure(c, false, error);
        return false;
    }
    if (shown)
        *shown = *t;
    if (stamp)
        *stamp = arrived;
    return true;
}

bool RecibirFechas(TransferContext& c)
{
    if (!receive(c.link))
        return false;
    const std::optional<DayLists> days = decodeDates(c.link.BufferTrama);
    if (!days) {
        showReceiveError(ReceiveResult::BadFrame);
        return false;
    }
    QString error;
    if (!c.store.storeDays(c.serial, *days, &error)) {
        storeFailure(c, false, error);
        return false;
    }
    return true;
}

bool RecibirIntervalos(TransferContext& c)
{
    return recordLoop<IntervalRecord>(c, &decodeInterval, [&c](const IntervalRecord& r, QString* e) {
        if (!c.store.storeInterval(r, e))
            return false;
        if (!c.newestInterval.isValid() || r.end > c.newestInterval)
            c.newestInterval = r.end;
        return true;
    });
}

bool RecibirSesiones(TransferContext& c)
{
    return recordLoop<SessionRecord>(c, &decodeSession, [&c](const SessionRecord& r, QString* e) {
        return c.store.storeSession(r, e);
    });
}

} // namespace nbx
