// The receiving steps of a download: totals, dates, and the record handshake of intervals and
// sessions (ACK after each record, CAN on Stop, on a record older than FROM and on any failure).
#pragma once

#include "records/RecordFrames.h"

#include <QDateTime>
#include <functional>

namespace nbx {

class Link;
class RecordStore;

struct TransferContext {
    Link& link;
    RecordStore& store;
    qint32 serial = 0;                 // the identified device
    QDateTime from;                    // FROM of the range, naive
    std::function<void()> counted;     // one frame received (the counter)
    QDateTime resumeFrom;              // where the next download starts to bring back records not
                                       // kept (FROM when not set)
    bool storeFailed = false;          // set when the database refused what was received
    QDateTime newestInterval{};        // the end of the newest interval stored (invalid: none)
};

// A failure of the store is shown as one box: what was lost (records acknowledged to the device or
// not) and how the next download receives it again, why, and the library's text.
//
// RecibirTotales: one frame; shows nothing itself but the receiver's and the database's messages.
// On success `shown` holds the counters and `stamp` the moment the frame arrived (read from `now`);
// the row of `serial` gets both.
bool RecibirTotales(TransferContext& c, const std::function<QDateTime()>& now, Totals* shown, QDateTime* stamp);
// RecibirFechas: one frame; its valid entries stored, each once.
bool RecibirFechas(TransferContext& c);
// RecibirIntervalos / RecibirSesiones: the record handshake until the end frame, a record older
// than FROM or Stop (true), or a failure (false, after CAN and one message; Stop shows none).
bool RecibirIntervalos(TransferContext& c);
bool RecibirSesiones(TransferContext& c);

} // namespace nbx
