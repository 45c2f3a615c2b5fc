// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool: the core commands from the command line, for batch work, scripting and end-to-end tests.
#include "app/kvtool.h"
#include "core/errors.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMap>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace kv::tool {

namespace {

struct VerbEntry
{
    QString usage;
    VerbFunction function;
    QMap<QString, bool> options; // every --name the usage shows, and whether it takes a value
};

// The options a usage line shows: "--name VALUE" takes a value, "[--name]" or "--name" before another
// option or a bracket is a flag.
QMap<QString, bool> optionsOf(const QString &usage)
{
    QMap<QString, bool> options;
    const QStringList tokens = usage.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        QString token = tokens[i];
        while (token.startsWith(u'['))
            token.remove(0, 1);
        if (!token.startsWith(u"--"_s) || token.size() < 3)
            continue;
        qsizetype end = 2;
        while (end < token.size() && (token[end].isLetterOrNumber() || token[end] == u'-'))
            ++end;
        const QString name = token.mid(2, end - 2);
        const bool closed = end < token.size();
        const QString next = i + 1 < tokens.size() ? tokens[i + 1] : QString();
        const bool takesValue = !closed && !next.isEmpty() && !next.startsWith(u'[') &&
                                !next.startsWith(u"--"_s) && !next.startsWith(u'|') && !next.startsWith(u'(');
        options[name] = options.value(name) || takesValue;
    }
    return options;
}

QMap<QString, VerbEntry> &registry()
{
    static QMap<QString, VerbEntry> verbs;
    return verbs;
}

void printUsage(QTextStream &stream)
{
    stream << "usage: kvtool [--yes|--no|--answers yes,no,...] VERB [ARGS]\n"
              "       kvtool --version | --help | VERB --help\n";
    for (auto it = registry().cbegin(); it != registry().cend(); ++it)
        stream << "  kvtool " << it.key() << ' ' << it->usage << '\n';
}

bool isHelp(const QString &arg)
{
    return arg == u"--help"_s || arg == u"-h"_s;
}

// Refuses an option the verb's usage does not show, before the verb could take it for a file or an ID.
void checkOptions(const VerbEntry &verb, const QStringList &args)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (!arg.startsWith(u"--"_s) || arg.size() < 3)
            continue;
        const qsizetype equals = arg.indexOf(u'=');
        const QString name = arg.mid(2, equals < 0 ? -1 : equals - 2);
        const auto known = verb.options.constFind(name);
        if (known == verb.options.cend())
            throw InputError(u"Unknown option: --%1"_s.arg(name));
        if (*known && equals < 0)
            ++i; // its value, whatever it looks like
    }
}

} // namespace

Verb::Verb(const char *words, const char *usage, VerbFunction function)
{
    const QString text = QString::fromUtf8(usage);
    registry().insert(QString::fromUtf8(words), {text, function, optionsOf(text)});
}

QString Context::option(const QString &name, const QString &fallback)
{
    const QString dashed = u"--"_s + name;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == dashed) {
            if (i + 1 >= args.size())
                throw InputError(u"Option %1 needs a value."_s.arg(dashed));
            const QString value = args[i + 1];
            args.remove(i, 2);
            return value;
        }
        if (args[i].startsWith(dashed + u'=')) {
            const QString value = args[i].mid(dashed.size() + 1);
            args.remove(i);
            return value;
        }
    }
    return fallback;
}

QStringList Context::options(const QString &name)
{
    QStringList values;
    const QString sentinel = u"\x01"_s;
    for (;;) {
        const QString value = option(name, sentinel);
        if (value == sentinel)
            return values;
        values << value;
    }
}

bool Context::flag(const QString &name)
{
    return args.removeAll(u"--"_s + name) > 0;
}

void Context::expectNoMoreArgs() const
{
    if (args.isEmpty())
        return;
    if (args.first().startsWith(u"--"_s))
        throw InputError(u"Unknown option: %1"_s.arg(args.first()));
    throw InputError(u"Unexpected argument: %1"_s.arg(args.first()));
}

} // namespace kv::tool

int main(int argc, char *argv[])
{
    using namespace kv;
    // Verbs that draw charts, lay out a report's fonts or show a window need the window system; it is
    // offscreen when there is no display.
    bool drawsCharts = false;
    for (int i = 1; i < argc; ++i)
        drawsCharts = drawsCharts || qstrcmp(argv[i], "--images") == 0 || qstrncmp(argv[i], "--images=", 9) == 0 ||
                      qstrcmp(argv[i], "--show") == 0 || qstrcmp(argv[i], "report") == 0;
    if (drawsCharts && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(drawsCharts ? new QApplication(argc, argv)
                                                      : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(u"kvtool"_s);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments().mid(1);
    ScriptedInteraction ui(true);
    ui.setDefaultAnswer(Interaction::Answer::No);
    for (qsizetype i = 0; i < args.size();) {
        const QString &arg = args[i];
        if (arg == u"--yes"_s) {
            ui.setDefaultAnswer(Interaction::Answer::Yes);
            args.remove(i);
        } else if (arg == u"--no"_s) {
            ui.setDefaultAnswer(Interaction::Answer::No);
            args.remove(i);
        } else if (arg == u"--answers"_s && i + 1 < args.size()) {
            QList<Interaction::Answer> answers;
            for (const QString &word : args[i + 1].split(u',', Qt::SkipEmptyParts)) {
                const QString w = word.trimmed().toLower();
                answers << (w == u"yes"_s || w == u"y"_s     ? Interaction::Answer::Yes
                            : w == u"cancel"_s ? Interaction::Answer::Cancel
                                               : Interaction::Answer::No);
            }
            ui.queueAnswers(answers);
            args.remove(i, 2);
        } else {
            ++i;
        }
    }

    // The longest registered verb that the arguments start with wins ("calc wmean" before "calc").
    const auto &verbs = kv::tool::registry();
    QString chosen;
    int wordsTaken = 0;
    for (auto it = verbs.cbegin(); it != verbs.cend(); ++it) {
        const QStringList words = it.key().split(u' ');
        if (words.size() > args.size() || words.size() <= wordsTaken)
            continue;
        if (args.mid(0, words.size()) == words) {
            chosen = it.key();
            wordsTaken = int(words.size());
        }
    }
    if (chosen.isEmpty()) {
        if (!args.isEmpty() && kv::tool::isHelp(args.first())) {
            kv::tool::printUsage(out);
            return 0;
        }
        if (args == QStringList{u"--version"_s}) {
            out << "kvtool " << KELVORA_VERSION << '\n';
            return 0;
        }
        if (!args.isEmpty()) {
            QStringList words;
            for (const QString &arg : std::as_const(args)) {
                if (arg.startsWith(u'-'))
                    break;
                words << arg;
            }
            err << "error: " << (words.isEmpty() ? u"Unknown option: %1"_s.arg(args.first())
                                                 : u"Unknown verb: %1"_s.arg(words.join(u' ')))
                << '\n';
        }
        kv::tool::printUsage(err);
        return 2;
    }

    const kv::tool::VerbEntry &verb = *verbs.constFind(chosen);
    kv::tool::Context context{args.mid(wordsTaken), ui, out};
    if (std::any_of(context.args.cbegin(), context.args.cend(), kv::tool::isHelp)) {
        out << "usage: kvtool " << chosen << ' ' << verb.usage << '\n';
        return 0;
    }
    try {
        kv::tool::checkOptions(verb, context.args);
        const int rc = verb.function(context);
        out.flush();
        return rc;
    } catch (const InputError &e) {
        out.flush();
        err << "error: " << e.message() << '\n' << "usage: kvtool " << chosen << ' ' << verb.usage << '\n';
        return 2;
    } catch (const Error &e) {
        out.flush();
        err << "error: " << e.message() << '\n';
        return 1;
    }
}
