#include "options.h"

namespace folioset::cli {

QString helpText()
{
    return QStringLiteral(
        "Usage: folioset-cli [options] INPUT...\n"
        "\n"
        "Turns image files (bmp, jpeg, png, gif, multi-page tiff) into PDF documents without\n"
        "loss. Each INPUT is a file or a folder; a folder contributes its files with the\n"
        "extensions bmp jpg jpeg png gif tif tiff (all lower or all upper case), sorted by path.\n"
        "A file named directly is taken whatever its extension. Each file is taken once.\n"
        "\n"
        "Output:\n"
        "  -o, --output DIR              folder for the PDFs (required; created if missing)\n"
        "  --mode single|merge|group     one PDF per image (default), one PDF for all, or\n"
        "                                numbered PDFs of --group-size images each\n"
        "  --name NAME                   base name of the PDF(s) for merge and group\n"
        "                                (required there; group adds 1, 2, ...)\n"
        "  --group-size N                images per PDF in group mode, 2 or more (default 2)\n"
        "  -r, --recursive               walk folders into their subfolders\n"
        "  --pages RULE                  pages taken from each multi-page input: all (default),\n"
        "                                ranges such as 1-3,7-7 or 9-5 (5 means 5-5),\n"
        "                                step:N (every Nth page) or rstep:N (every Nth\n"
        "                                page from the last, backwards)\n"
        "\n"
        "Document settings (any of these switches them on for this run):\n"
        "  --title TEXT, --subject TEXT, --author TEXT, --keywords TEXT\n"
        "                                document properties\n"
        "  --open-password-file FILE     password needed to open the PDF: the first line of\n"
        "                                FILE, or of standard input when FILE is -\n"
        "  --permission-password-file FILE\n"
        "                                password that lifts the restrictions below (same\n"
        "                                form; when both are -, the open password is the\n"
        "                                first line and this one the second)\n"
        "  --no-print                    forbid printing (needs a password)\n"
        "  --no-copy                     forbid copying text and images (needs a password)\n"
        "  --key-bits 40|128             encryption key length (default 40)\n"
        "  --bookmarks none|name|stem|path\n"
        "                                one bookmark per input, labelled with its file name,\n"
        "                                its name without extension, or its path\n"
        "\n"
        "Run:\n"
        "  --log-dir DIR                 where the conversion log is written (default: the\n"
        "                                Logs folder under ~/.local/share/Quillmark/folioset2)\n"
        "  --open                        open the output folder afterwards\n"
        "  -q, --quiet                   print errors only\n"
        "  -h, --help                    show this help\n"
        "  --version                     show the version\n"
        "\n"
        "Passwords are never taken on the command line. Stored preferences are neither read\n"
        "nor changed. Ctrl-C stops after the current image and writes what was converted;\n"
        "a second Ctrl-C quits at once and leaves no partial file.\n"
        "\n"
        "Exit status: 0 when every input was converted and every PDF written, 1 when anything\n"
        "failed or the run was stopped, 2 for a usage error.\n");
}

QString versionText()
{
    return QStringLiteral("folioset-cli " FOLIOSET_VERSION "\n");
}

} // namespace folioset::cli
