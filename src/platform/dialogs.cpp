#include "platform/dialogs.h"

namespace tovera {

QString dialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList choices;
    for (qsizetype k = 0; k + 1 < parts.size(); k += 2) {
        const QString& caption = parts[k];
        QString patterns = parts[k + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString bracketed = QLatin1Char('(') + patterns + QLatin1Char(')');
        choices << (caption.endsWith(bracketed, Qt::CaseInsensitive)
                        ? caption
                        : caption + QLatin1Char(' ') + bracketed);
    }
    return choices.join(QStringLiteral(";;"));
}

void ScriptedDialogs::message(const QString& text) {
    shown.push_back({Shown::Message, QString(), text});
}

void ScriptedDialogs::error(const QString& text) {
    shown.push_back({Shown::Error, QString(), text});
}

bool ScriptedDialogs::confirm(const QString& caption, const QString& text) {
    shown.push_back({Shown::Confirm, caption, text});
    if (confirmAnswers.empty()) return true;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::beep() {
    shown.push_back({Shown::Beep, QString(), QString()});
}

QString ScriptedDialogs::openFile(const FileDialogRequest& request) {
    lastRequest = request;
    shown.push_back({Shown::Open, request.title, request.filter});
    if (openAnswers.empty()) return QString();
    QString answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString ScriptedDialogs::saveFile(const FileDialogRequest& request) {
    lastRequest = request;
    shown.push_back({Shown::Save, request.title, request.filter});
    if (saveAnswers.empty()) return QString();
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

QStringList ScriptedDialogs::messages() const {
    QStringList texts;
    for (const Shown& s : shown)
        if (s.kind == Shown::Message || s.kind == Shown::Error) texts << s.text;
    return texts;
}

} // namespace tovera
