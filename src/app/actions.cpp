// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/actions.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {

struct ActionDefinition {
    Command command;
    const char* text; // source text of the "MainFrame" context, shortcut label after a tab
    QKeyCombination keys[2];
};

// The texts and keys of every command. The label after the tab is part of the text, as
// the user reads it; the keys are what the action listens to.
constexpr ActionDefinition Definitions[] = {
    {Command::PeakValues, QT_TRANSLATE_NOOP("MainFrame", "&Spitzenwerte"), {}},
    {Command::RmsValues, QT_TRANSLATE_NOOP("MainFrame", "&Effektivwerte"), {}},
    {Command::MeanValues, QT_TRANSLATE_NOOP("MainFrame", "&Mittelwerte"), {}},
    {Command::Open, QT_TRANSLATE_NOOP("MainFrame", "&Öffnen...\tStrg+O"), {Qt::CTRL | Qt::Key_O}},
    {Command::Print, QT_TRANSLATE_NOOP("MainFrame", "&Drucken...\tStrg+P"), {Qt::CTRL | Qt::Key_P}},
    {Command::ExportPng,
     QT_TRANSLATE_NOOP("MainFrame", "&Datei...\tStrg+F"),
     {Qt::CTRL | Qt::Key_F}},
    {Command::CopyImage,
     QT_TRANSLATE_NOOP("MainFrame", "&Zwischenablage\tStrg+C"),
     {Qt::CTRL | Qt::Key_C}},
    {Command::ExportCsv,
     QT_TRANSLATE_NOOP("MainFrame", "Export als &CSV-Datei...\tStrg+E"),
     {Qt::CTRL | Qt::Key_E}},
    {Command::ExportRaw,
     QT_TRANSLATE_NOOP("MainFrame", "Export als &LTspice-RAW-Datei...\tStrg+L"),
     {Qt::CTRL | Qt::Key_L}},
    {Command::ExportSigrok, QT_TRANSLATE_NOOP("MainFrame", "Export als &sigrok-Sitzung..."), {}},
    {Command::Quit, QT_TRANSLATE_NOOP("MainFrame", "&Beenden"), {}},
    {Command::About, QT_TRANSLATE_NOOP("MainFrame", "&Über Kurvex..."), {}},
    {Command::Website, QT_TRANSLATE_NOOP("MainFrame", "&Website öffnen..."), {}},
    {Command::Help, QT_TRANSLATE_NOOP("MainFrame", "&Hilfe...\tF1"), {QKeyCombination(Qt::Key_F1)}},
    {Command::TileVertical, QT_TRANSLATE_NOOP("MainFrame", "&Nebeneinander"), {}},
    {Command::TileHorizontal, QT_TRANSLATE_NOOP("MainFrame", "&Übereinander"), {}},
    {Command::Cascade, QT_TRANSLATE_NOOP("MainFrame", "&Kaskadieren"), {}},
    {Command::CloseAll, QT_TRANSLATE_NOOP("MainFrame", "&Alle schließen"), {}},
    // The document conventions of multi-window programs; in no menu.
    {Command::CloseWindow,
     QT_TRANSLATE_NOOP("MainFrame", "Fenster schließen"),
     {Qt::CTRL | Qt::Key_W, Qt::CTRL | Qt::Key_F4}},
    {Command::Measurements,
     QT_TRANSLATE_NOOP("MainFrame", "&Messungen...\tStrg+M"),
     {Qt::CTRL | Qt::Key_M}},
    {Command::Spectrum,
     QT_TRANSLATE_NOOP("MainFrame", "&Spektrum...\tStrg+K"),
     {Qt::CTRL | Qt::Key_K}},
    {Command::Decode,
     QT_TRANSLATE_NOOP("MainFrame", "&Dekodieren...\tStrg+D"),
     {Qt::CTRL | Qt::Key_D}},
    // A language's own name, the same in every language.
    {Command::LanguageGerman, QT_TRANSLATE_NOOP("Language", "Deutsch"), {}},
    {Command::LanguageEnglish, QT_TRANSLATE_NOOP("Language", "English"), {}},
};
static_assert(std::size(Definitions) == CommandCount);

const ActionDefinition& DefinitionOf(Command command)
{
    return Definitions[static_cast<size_t>(command)];
}

QString TranslatedText(const ActionDefinition& definition)
{
    const bool language = definition.command == Command::LanguageGerman ||
                          definition.command == Command::LanguageEnglish;
    return language ? QString::fromUtf8(definition.text)
                    : QCoreApplication::translate("MainFrame", definition.text);
}

} // namespace

ActionSet CreateActions(QObject* owner, const std::function<void(Command)>& run)
{
    ActionSet set;
    auto* languages = new QActionGroup(owner);
    for (const ActionDefinition& definition : Definitions) {
        Q_ASSERT(&definition == &DefinitionOf(definition.command));
        auto* action = new QAction(owner);
        QList<QKeySequence> keys;
        for (const QKeyCombination key : definition.keys)
            if (key.key() != Qt::Key(0)) keys.append(QKeySequence(key));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        // A held key runs the command once.
        action->setAutoRepeat(false);
        const Command command = definition.command;
        QObject::connect(action, &QAction::triggered, owner, [run, command] { run(command); });
        if (command == Command::LanguageGerman || command == Command::LanguageEnglish) {
            action->setCheckable(true);
            languages->addAction(action);
        }
        set.items[static_cast<size_t>(command)] = action;
    }
    RetranslateActions(set);
    return set;
}

void RetranslateActions(const ActionSet& actions)
{
    for (const ActionDefinition& definition : Definitions)
        actions[definition.command]->setText(TranslatedText(definition));
}

QMenu* BuildMenus(QMenuBar* bar, const ActionSet& a)
{
    const auto title = [](const char* text) {
        return QCoreApplication::translate("MainFrame", text);
    };
    QMenu* fileMenu = bar->addMenu(title(QT_TRANSLATE_NOOP("MainFrame", "&Datei")));
    fileMenu->addAction(a[Command::Open]);
    fileMenu->addSeparator();
    fileMenu->addAction(a[Command::Print]);
    QMenu* imageMenu = fileMenu->addMenu(title(QT_TRANSLATE_NOOP("MainFrame", "&Export als Bild")));
    imageMenu->addAction(a[Command::ExportPng]);
    imageMenu->addAction(a[Command::CopyImage]);
    fileMenu->addAction(a[Command::ExportCsv]);
    fileMenu->addAction(a[Command::ExportRaw]);
    fileMenu->addAction(a[Command::ExportSigrok]);
    fileMenu->addSeparator();
    fileMenu->addAction(a[Command::Quit]);

    QMenu* analysisMenu = bar->addMenu(title(QT_TRANSLATE_NOOP("MainFrame", "&Analyse")));
    analysisMenu->addAction(a[Command::Measurements]);
    analysisMenu->addAction(a[Command::Spectrum]);
    analysisMenu->addAction(a[Command::Decode]);

    QMenu* windowMenu = bar->addMenu(title(QT_TRANSLATE_NOOP("MainFrame", "&Fenster")));
    windowMenu->addAction(a[Command::TileVertical]);
    windowMenu->addAction(a[Command::TileHorizontal]);
    windowMenu->addAction(a[Command::Cascade]);
    windowMenu->addAction(a[Command::CloseAll]);

    QMenu* helpMenu = bar->addMenu(title(QT_TRANSLATE_NOOP("MainFrame", "&?")));
    helpMenu->addAction(a[Command::Help]);
    helpMenu->addAction(a[Command::About]);
    helpMenu->addSeparator();
    helpMenu->addAction(a[Command::Website]);
    // Named in both languages: whoever cannot read the one finds it by the other.
    QMenu* languageMenu = helpMenu->addMenu(QStringLiteral("Sprache / Language"));
    languageMenu->addAction(a[Command::LanguageGerman]);
    languageMenu->addAction(a[Command::LanguageEnglish]);
    return windowMenu;
}

QMenu* BuildMeasurePopup(const ActionSet& a)
{
    auto* popup = new QMenu;
    popup->addAction(a[Command::PeakValues]);
    popup->addAction(a[Command::RmsValues]);
    popup->addAction(a[Command::MeanValues]);
    return popup;
}

QList<QAction*> SharedWindowActions(const ActionSet& a)
{
    QList<QAction*> shared;
    for (const ActionDefinition& definition : Definitions) {
        const Command c = definition.command;
        if (definition.keys[0].key() == Qt::Key(0) || c == Command::ExportPng ||
            c == Command::CopyImage || c == Command::Print || c == Command::CloseWindow)
            continue;
        shared.append(a[c]);
    }
    return shared;
}

bool IsCommandKey(QKeyCombination key)
{
    // The keypad's keys are the same keys.
    key = QKeyCombination(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key());
    for (const ActionDefinition& definition : Definitions)
        for (const QKeyCombination k : definition.keys)
            if (k.key() != Qt::Key(0) && k == key) return true;
    return false;
}
