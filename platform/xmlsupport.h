#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/tree.h>

#include <memory>

namespace folioset::xml {

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

struct TextFree
{
    void operator()(xmlChar *text) const { xmlFree(text); }
};
using TextPtr = std::unique_ptr<xmlChar, TextFree>;

// UTF-8 that libxml2 can always serialise into well-formed XML: characters XML 1.0 cannot
// carry at all (control characters, unpaired surrogates) become U+FFFD.
QByteArray text(const QString &text);

// A child element holding `content` as text; throws when libxml2 cannot make it.
xmlNode *addTextElement(xmlNode *parent, const char *name, const QString &content);

// Parses leniently, repairing what it can; never fetches anything from the network. Null when
// nothing can be made of the bytes.
DocPtr parseLeniently(const QByteArray &bytes);

// The text of the last node at `path` (an XPath), and whether there was one.
bool lastText(xmlDoc *doc, const char *path, QString *text);
bool lastText(xmlNode *context, const char *path, QString *text);

} // namespace folioset::xml
