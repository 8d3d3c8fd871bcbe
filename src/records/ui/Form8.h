// Form8: the date range dialog that bounds a download (FROM and TO, to the minute).
#pragma once

#include "common/ui/DateBox.h"

#include <QDateTime>
#include <QDialog>
#include <optional>

class QPushButton;
class QToolButton;

namespace nbx {

class NamedCalendar;

class Form8 : public QDialog {
    Q_OBJECT
public:
    // Builds the designed Spanish texts; no data (see Form_Load).
    explicit Form8(QWidget* parent = nullptr);

    // Translates the window, sets the calendars' language and the defaults: TO = now, FROM = the
    // newest stored interval's start or now - 60 days. Naive values, to the minute.
    void Form_Load(const QDateTime& now, const std::optional<QDateTime>& newestStart);

    // "dd/mm/yy hh:mm", dates 2000-2049.
    DateBox* MaskFechaIni;
    DateBox* MaskFechaFi;
    QPushButton* CommandVolver;
    QPushButton* SSCommandCancelar;
    // The calendars of the two fields, named in the program's language, and their buttons.
    QToolButton* CalendarioIni;
    QToolButton* CalendarioFi;
    NamedCalendar* calendarIni;
    NamedCalendar* calendarFi;

public slots:
    // Refuses a field that holds no date-time (GetS(18), or GetS(19) for its time) and TO not
    // after FROM (GetS(24)); otherwise writes the range and closes.
    void CommandVolver_Click();
    void SSCommandCancelar_Click();
    // Any close but Aceptar counts as Cancel.
    void reject() override;
};

} // namespace nbx
