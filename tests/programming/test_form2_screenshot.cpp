// Pictures of the programming sheet for a person to look at, in Spanish and in English.
// Runs only when NBX70_SCREENSHOT_DIR names a folder: form2_es.png, form2_en.png and one
// picture per tab page are written there.
#include "programming/ui/Form2.h"

#include "localisation/LangDesk.h"
#include "localisation/ui/TranslateForm.h"
#include "link/Link.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

// English texts of the window's designed captions and the grid's messages.
const QList<QPair<QString, QString>> kEnglish = {
    {u"N. Serie:"_qs, u"Serial No.:"_qs}, {u"Versión:"_qs, u"Version:"_qs}, {u"Fecha:"_qs, u"Date:"_qs},
    {u"Contacto:"_qs, u"Contact:"_qs}, {u"Local:"_qs, u"Venue:"_qs}, {u"Dirección:"_qs, u"Address:"_qs},
    {u"Población:"_qs, u"Town:"_qs}, {u"Teléfono:"_qs, u"Telephone:"_qs}, {u"Notas:"_qs, u"Notes:"_qs},
    {u"Reloj"_qs, u"Clock"_qs}, {u"Horarios sesion"_qs, u"Session hours"_qs}, {u"Normativa"_qs, u"Regulations"_qs},
    {u"Tipo de actuación"_qs, u"Action type"_qs}, {u"Tiempo atenuación"_qs, u"Attenuation time"_qs},
    {u"Aislamiento acústico"_qs, u"Sound insulation"_qs}, {u"Tiempo de Leq"_qs, u"Leq time"_qs},
    {u"Parámetros módem"_qs, u"Modem parameters"_qs}, {u"Hora:"_qs, u"Time:"_qs},
    {u"(Cambiar la hora automáticamente según el horario de verano)"_qs,
     u"(Change the time automatically for daylight saving time)"_qs},
    {u"Inicio"_qs, u"Start"_qs}, {u"Fin"_qs, u"End"_qs}, {u"Lunes"_qs, u"Monday"_qs}, {u"Martes"_qs, u"Tuesday"_qs},
    {u"Miércoles"_qs, u"Wednesday"_qs}, {u"Jueves"_qs, u"Thursday"_qs}, {u"Viernes"_qs, u"Friday"_qs},
    {u"Sábado"_qs, u"Saturday"_qs}, {u"Domingo"_qs, u"Sunday"_qs}, {u"Empieza"_qs, u"Starts"_qs},
    {u"Termina"_qs, u"Ends"_qs}, {u"Límite (emisión)"_qs, u"Limit (emission)"_qs},
    {u"Límite (recepción)"_qs, u"Limit (reception)"_qs}, {u"Día"_qs, u"Day"_qs}, {u"Noche"_qs, u"Night"_qs},
    {u"Actuación (emisión):"_qs, u"Action (emission):"_qs}, {u"Actuación (recepción):"_qs, u"Action (reception):"_qs},
    {u"No actúa"_qs, u"Does not act"_qs}, {u"Aplicar corrección global (CMI)"_qs, u"Apply global correction (CMI)"_qs},
    {u"Tiempo atenuación (s):"_qs, u"Attenuation time (s):"_qs},
    {u"0 - Sin atenuación de 60dB"_qs, u"0 - No 60dB attenuation"_qs},
    {u"Límite LFmax:"_qs, u"LFmax limit:"_qs}, {u"Tiempo de Leq:"_qs, u"Leq time:"_qs},
    {u"Rings antes de que el modem decuelgue:"_qs, u"Rings before the modem answers:"_qs},
    {u"INTERVALOS INHABILES"_qs, u"INHIBITED INTERVALS"_qs}, {u"Empieza:"_qs, u"Starts:"_qs},
    {u"Termina:"_qs, u"Ends:"_qs}, {u"Fecha"_qs, u"Date"_qs}, {u"Hora"_qs, u"Time"_qs},
    {u"Anterior"_qs, u"Previous"_qs}, {u"Siguiente"_qs, u"Next"_qs}, {u"Buscar"_qs, u"Search"_qs},
    {u"Grabar"_qs, u"Save"_qs}, {u"Borrar"_qs, u"Delete"_qs}, {u"Imprimir"_qs, u"Print"_qs},
    {u"Incidencias"_qs, u"Records"_qs}, {u"Ayuda"_qs, u"Help"_qs}, {u"Salir"_qs, u"Exit"_qs},
    {u"Recibir"_qs, u"Receive"_qs}, {u"Transmitir"_qs, u"Transmit"_qs}, {u"Borrar memoria"_qs, u"Erase memory"_qs},
    {u"Cambiar contraseña"_qs, u"Change password"_qs}, {u"Tiempo real"_qs, u"Real time"_qs},
    {u"Calibración"_qs, u"Calibration"_qs}, {u"Sonómetro"_qs, u"Sound level meter"_qs},
};

void saveSample()
{
    SheetValues s;
    ProgrammingState st;
    CreaProgramacio(s, st);
    s.numeroSerie = QStringLiteral("123456");
    s.version = QStringLiteral("2.1");
    s.contacto = QStringLiteral("María Pérez");
    s.local = QStringLiteral("Bar El Sol");
    s.direccion = QStringLiteral("Calle Mayor 12");
    s.poblacion = QStringLiteral("Zaragoza");
    s.telefono = QStringLiteral("976123456");
    s.nota = QStringLiteral("Limitador revisado");
    s.horarioIni[Domingo] = s.horarioFi[Domingo] = QStringLiteral("--:--");
    s.intervals.fechaIni[0] = s.intervals.fechaFi[0] = QStringLiteral("24/12/26");
    s.intervals.horaIni[0] = QStringLiteral("20:00");
    s.intervals.horaFi[0] = QStringLiteral("23:59");
    SheetRepository repo;
    QString error;
    ASSERT_TRUE(repo.save(s, QDateTime::currentDateTime(), &error)) << error.toStdString();
}

void shoot(const QString& dir, const QString& suffix)
{
    Form2 f;
    f.resize(f.sizeHint());
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.load();
    QTest::qWait(50);
    ASSERT_TRUE(f.grab().save(QDir(dir).filePath(QStringLiteral("form2_%1.png").arg(suffix))));
    for (int p = 1; p < f.SSTab2->count(); ++p) {
        f.SSTab2->setCurrentIndex(p);
        QTest::qWait(10);
        ASSERT_TRUE(f.SSTab2->grab().save(QDir(dir).filePath(QStringLiteral("form2_%1_tab%2.png").arg(suffix).arg(p))));
    }
    std::printf("Form2 %s: size hint %dx%d\n", qPrintable(suffix), f.sizeHint().width(), f.sizeHint().height());
}

} // namespace

TEST(Form2Screenshot, SpanishAndEnglish)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "NBX70_SCREENSHOT_DIR not set";
    TempDatabase db;
    ScriptedPrompter prompter;
    programmingState() = ProgrammingState{};
    linkState().NumeroSerieEqp = 0;
    saveSample();
    shoot(dir, QStringLiteral("es"));

    // A language database with the English texts of the window.
    const QString file = db.file(QStringLiteral("Language.db"));
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(file, &error)) << error.toStdString();
    {
        QSqlDatabase ldb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("shot_lang"));
        ldb.setDatabaseName(file);
        ASSERT_TRUE(ldb.open());
        QSqlQuery q(ldb);
        for (const auto& [native, english] : kEnglish) {
            ASSERT_TRUE(q.prepare(QStringLiteral("INSERT INTO LangDesk (Native, English) VALUES (?, ?)")));
            q.addBindValue(native);
            q.addBindValue(english);
            ASSERT_TRUE(q.exec());
        }
        ldb.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("shot_lang"));
    QString name = file;
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk()));
    shoot(dir, QStringLiteral("en"));
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

} // namespace nbx::test
