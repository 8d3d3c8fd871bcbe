#include "localisation/ui/Form7.h"

#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/ConfiguracionRepo.h"
#include "common/Database.h"
#include "common/IniFile.h"
#include "common/Prompter.h"
#include "localisation/LangDesk.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nbx {

namespace {

struct LanguageOption {
    const char16_t* objectName;
    int code;
    const char16_t* label; // the language's own name, never translated
};

const LanguageOption kOptions[] = {
    {u"OptionEspa\u00f1ol", 1000, u"Espa\u00f1ol"},
    {u"OptionCatalan", 2000, u"Catal\u00e0"},
    {u"OptionIngles", 3000, u"English"},
    {u"OptionAleman", 4000, u"Deutsch"},
    {u"OptionFrances", 5000, u"Fran\u00e7ais"},
    {u"OptionItaliano", 6000, u"Italiano"},
    {u"OptionPortugues", 7000, u"Portugu\u00eas"},
};

} // namespace

Form7::Form7(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QString()); // the window has no caption
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("SSPanel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    outer->addWidget(panel);
    auto* panelLayout = new QVBoxLayout(panel);

    auto* frame = new QGroupBox(panel);
    frame->setObjectName(QStringLiteral("Frame5"));
    panelLayout->addWidget(frame);
    auto* frameLayout = new QVBoxLayout(frame);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (const LanguageOption& o : kOptions) {
        auto* b = new QRadioButton(QString::fromUtf16(o.label), frame);
        b->setObjectName(QString::fromUtf16(o.objectName));
        b->setProperty("tag", QStringLiteral("!"));
        b->setAccessibleName(QString::fromUtf16(o.label));
        group->addButton(b);
        frameLayout->addWidget(b);
        const int code = o.code;
        // toggled, not clicked: checking the option at load must choose it too.
        connect(b, &QRadioButton::toggled, this, [this, code](bool on) {
            if (on)
                chosen_ = code;
        });
        options_.append({code, b});
    }

    auto* buttons = new QHBoxLayout;
    panelLayout->addLayout(buttons);
    SSCommandAceptar = new QPushButton(QStringLiteral("Aceptar"), panel);
    SSCommandAceptar->setObjectName(QStringLiteral("SSCommandAceptar"));
    SSCommandAceptar->setDefault(true);
    SSCommandCancelar = new QPushButton(QStringLiteral("Cancelar"), panel);
    SSCommandCancelar->setObjectName(QStringLiteral("SSCommandCancelar"));
    buttons->addWidget(SSCommandAceptar);
    buttons->addWidget(SSCommandCancelar);
    connect(SSCommandAceptar, &QPushButton::clicked, this, &Form7::SSCommandAceptar_Click);
    connect(SSCommandCancelar, &QPushButton::clicked, this, &Form7::SSCommandCancelar_Click);
}

QString Form7::localeIdForCode(int code)
{
    return localeIdForLanguageCode(code);
}

QRadioButton* Form7::option(int code) const
{
    for (const Option& o : options_)
        if (o.code == code)
            return o.button;
    return nullptr;
}

void Form7::Form_Load()
{
    TranslateForm(this);
    // No visible caption; screen readers still get the window's name.
    setAccessibleName(GetS(1));
    chosen_ = 0;
    if (QRadioButton* b = option(appState().codigoIdioma)) {
        b->setChecked(true);
        chosen_ = appState().codigoIdioma;
    }
}

void Form7::SSCommandAceptar_Click()
{
    appState().codigoIdioma = chosen_;
    const QString value = localeIdForCode(chosen_);
    if (!value.isEmpty()) {
        const QString file = AppPaths::configFile();
        // A failed write is reported; the language still applies for this run.
        if (!EscribirIni(QStringLiteral("Configuration"), QStringLiteral("Language"), value, file))
            prompter().message(settingsWriteFailedText(file), Prompter::Icon::Critical);
        QString error;
        int code = 0;
        if (Database::isOpen() && !ConfiguracionRepo::saveIdioma(chosen_, &error, &code))
            reportDatabaseFailure(DatabaseTask::Save, {}, code, error);
    }
    const int code = chosen_;
    accept();
    if (restart_)
        restart_(code);
}

void Form7::SSCommandCancelar_Click()
{
    reject();
}

} // namespace nbx
