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

QString ScriptedDialogs::fileAnswer(Shown::Kind kind, const FileDialogRequest& request,
                                    std::deque<QString>& answers) {
    lastRequest = request;
    shown.push_back({kind, request.title, request.filter});
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedDialogs::openFile(const FileDialogRequest& request) {
    return fileAnswer(Shown::Open, request, openAnswers);
}

QString ScriptedDialogs::saveFile(const FileDialogRequest& request) {
    return fileAnswer(Shown::Save, request, saveAnswers);
}

QStringList ScriptedDialogs::messages() const {
    QStringList texts;
    for (const Shown& s : shown)
        if (s.kind == Shown::Message || s.kind == Shown::Error) texts << s.text;
    return texts;
}

} // namespace tovera
