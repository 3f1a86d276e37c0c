#include "helpdoc.h"

namespace folioset::cli {

namespace {

QString quoted(const QStringList &words)
{
    QStringList quotedWords;
    for (QString word : words)
        quotedWords << QLatin1Char('\'') + word.replace(QLatin1Char('\''), QLatin1String("'\\''")) +
                           QLatin1Char('\'');
    return quotedWords.join(QLatin1Char('|'));
}

QString wordList(const QStringList &words)
{
    QString list = words.join(QLatin1Char(' '));
    return QLatin1Char('\'') + list.replace(QLatin1Char('\''), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

} // namespace

QString bashCompletion(const HelpDocument &help, const QString &program)
{
    const QString function = QLatin1Char('_') + QString(program).replace(QLatin1Char('-'), '_');
    QStringList names;
    QStringList folders;
    QStringList files;
    QStringList freeText;
    QStringList choiceCases;
    for (const HelpOption &option : help.allOptions()) {
        names << option.name;
        if (option.value.isEmpty())
            continue;
        const QStringList choices = option.choices();
        if (!choices.isEmpty())
            choiceCases << QStringLiteral("    %1)\n        %2_words %3\n        return ;;")
                               .arg(quoted({option.name}), function, wordList(choices));
        else if (option.value == QLatin1String("DIR"))
            folders << option.name;
        else if (option.value == QLatin1String("FILE"))
            files << option.name;
        else
            freeText << option.name;
    }
    QStringList cases = choiceCases;
    if (!folders.isEmpty())
        cases << QStringLiteral("    %1)\n        %2_paths -d\n        return ;;")
                     .arg(quoted(folders), function);
    if (!files.isEmpty())
        cases << QStringLiteral("    %1)\n        %2_paths -f\n        return ;;")
                     .arg(quoted(files), function);
    if (!freeText.isEmpty())
        cases << QStringLiteral("    %1)\n        return ;;").arg(quoted(freeText));

    return QStringLiteral(
               "# bash completion for %1, made from its --help when it was built.\n"
               "\n"
               "%2_words()\n"
               "{\n"
               "    mapfile -t COMPREPLY < <(compgen -W \"$1\" -- \"$cur\")\n"
               "}\n"
               "\n"
               "%2_paths()\n"
               "{\n"
               "    compopt -o filenames 2>/dev/null\n"
               "    mapfile -t COMPREPLY < <(compgen \"$1\" -- \"$cur\")\n"
               "}\n"
               "\n"
               "%2()\n"
               "{\n"
               "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} i\n"
               "    # '=' breaks words: \"--mode=me\" arrives as \"--mode\" \"=\" \"me\".\n"
               "    if [[ $cur == = ]]; then\n"
               "        cur=\n"
               "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then\n"
               "        prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
               "    fi\n"
               "    case $prev in\n"
               "%3\n"
               "    esac\n"
               "    # After \"--\" every word is an input.\n"
               "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
               "        [[ ${COMP_WORDS[i]} == -- ]] && break\n"
               "    done\n"
               "    if ((i == COMP_CWORD)) && [[ $cur == -* ]]; then\n"
               "        %2_words %4\n"
               "        return\n"
               "    fi\n"
               "    %2_paths -f\n"
               "}\n"
               "\n"
               "complete -F %2 %1\n")
        .arg(program, function, cases.join(QLatin1Char('\n')), wordList(names));
}

} // namespace folioset::cli
