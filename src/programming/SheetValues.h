// The programming sheet as plain values: every field in the text form its box shows, the
// inhibited intervals, the device copy of the last programming received, and the shared state.
#pragma once

#include <QString>
#include <array>

namespace nbx {

// Weekday indices, Sunday first (the order of the device's block and of HorarioEqp).
enum Weekday { Domingo = 0, Lunes, Martes, Miercoles, Jueves, Viernes, Sabado };

inline constexpr int kIntervalCount = 30;

inline const QString kEmptyIntervalDate = QStringLiteral("00/00/00");
inline const QString kEmptyIntervalTime = QStringLiteral("00:00");

// The 30 inhibited intervals as four text arrays of 31 elements: element i is interval i + 1,
// element 30 is not used. An empty interval is "00/00/00" / "00:00" in both halves.
struct InhibitedIntervals {
    std::array<QString, kIntervalCount + 1> fechaIni; // IntInhabFechaIni, "dd/mm/yy"
    std::array<QString, kIntervalCount + 1> horaIni;  // IntInhabHoraIni, "hh:mm"
    std::array<QString, kIntervalCount + 1> fechaFi;  // IntInhabFechaFi
    std::array<QString, kIntervalCount + 1> horaFi;   // IntInhabHoraFi

    InhibitedIntervals() { clear(); }
    void clear()
    {
        for (int i = 0; i <= kIntervalCount; ++i) {
            fechaIni[i] = fechaFi[i] = kEmptyIntervalDate;
            horaIni[i] = horaFi[i] = kEmptyIntervalTime;
        }
    }
    bool operator==(const InhibitedIntervals&) const = default;
};

// Emission action type: OptionLocalLeq1s, OptionLocalLeq125, or neither chosen.
enum class LocalAction { Leq1s, Leq125, None };
// Reception action type: OptionVeiNo, OptionVeiLeq1s, OptionVeiLeq125, or none chosen.
enum class VecinoAction { No, Leq1s, Leq125, None };

// Every field of the sheet window, as its box shows it. Numeric boxes are texts so that an empty
// box stays distinguishable from 0.
struct SheetValues {
    // PC clock shown on the sheet (not stored).
    QString textFecha;  // "dd/mm/yy"
    QString textHora;   // "HH:mm:ss"

    // Header.
    QString numeroSerie = QStringLiteral("0"); // MaskNumeroSerie
    QString version;    // MaskVersion, "major.minor"
    QString fecha;      // MaskFecha, "dd/mm/yy"
    QString contacto, local, direccion, poblacion, telefono; // MaskContacto .. MaskTelefono
    QString nota;       // TextNota

    int cambioHora = 0;      // CheckCambioHora, 0 or 1
    int cmi = 0;             // CheckApliCorrecioGlobal, 0 or 1
    bool cmiVisible = false; // CheckApliCorrecioGlobal and Picture2 shown

    LocalAction optionLocal = LocalAction::Leq1s;
    QString tempsActLoc;     // MaskTempsActLoc
    VecinoAction optionVei = VecinoAction::Leq1s;
    QString tempsActVei;     // MaskTempsActVei

    QString tLeq;            // MaskTLeq, minutes
    QString mFast;           // MaskMFast, dBA

    // The 14 weekday boxes, index by Weekday: "hh:mm" or "--:--".
    std::array<QString, 7> horarioIni; // MaskDomingoIni .. MaskSabadoIni
    std::array<QString, 7> horarioFi;  // MaskDomingoFi .. MaskSabadoFi

    QString diaLocal, diaVei;              // MaskDiaLocal, MaskDiaVei
    QString empiezaNoche, terminaNoche;    // MaskEmpiezaNoche, MaskTerminaNoche
    QString empiezaDia, terminaDia;        // MaskEmpiezaDia, MaskTerminaDia (complement of the night)
    QString nitLocal, nitVei;              // MaskNitLocal, MaskNitVei
    QString tiempoAtenuacion;              // MaskTiempoAtenuacion, seconds
    QString rings;                         // MaskRings
    std::array<QString, 9> octavas;        // MaskOctava1 (31.5 Hz) .. MaskOctava9 (8 kHz)

    // The sheet's own inhibited intervals (what the grid shows).
    InhibitedIntervals intervals;

    bool operator==(const SheetValues&) const = default;
};

// The device copy: the last programming received from the device (the ...Eqp variables).
struct DeviceCopy {
    // HorarioEqp: [day, Sunday = 0][0 start, 1 end], "hh:mm", "--:--" for a closed day.
    std::array<std::array<QString, 2>, 7> horario;
    quint8 nivelDiaLocal = 0;     // NivelDiaLocalEqp
    quint8 nivelDiaVecino = 0;    // NivelDiaVecinoEqp
    QString horaEmpiezaNoche;     // HoraEmpiezaNocheEqp
    QString horaTerminaNoche;     // HoraTerminaNocheEqp
    quint8 nivelNocheLocal = 0;   // NivelNocheLocalEqp
    quint8 nivelNocheVecino = 0;  // NivelNocheVecinoEqp
    quint8 cambioHora = 0;        // CambioHoraEqp
    qint16 tiempoAtenuacion = 0;  // TiempoAtenuacionEqp
    quint8 tLeq = 0;              // TLeqEqp
    quint8 mFast = 0;             // MFastEqp
    QString idioma;               // IdiomaEqp
    quint8 rings = 0;             // RingsEqp
    InhibitedIntervals intervals; // IntInhabFechaIniEqp .. IntInhabHoraFiEqp
    QString tipoActuacionLocal;   // TipoActuacionLocalEqp
    QString tipoActuacionVecino;  // TipoActuacionVecinoEqp
    std::array<float, 10> octavas{}; // OctavasEqp, elements 1..9 in dB; 0 unused
    quint8 apliCorrecioGlobal = 0;   // ApliCorrecioGlobalEqp

    bool operator==(const DeviceCopy&) const = default;
};

// State shared by the programming window, the weekly editor, the records window and the reports.
struct ProgrammingState {
    DeviceCopy deviceCopy;
    // The shared interval arrays, filled from the sheet on screen just before a report or a send
    // reads them (each window otherwise keeps its own copy).
    InhibitedIntervals intInhab;
    // FichaModificada: the sheet shown has unsaved changes.
    bool fichaModificada = false;
};

// The one program-wide instance.
ProgrammingState& programmingState();

} // namespace nbx
