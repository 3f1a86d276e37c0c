#include "xmlsupport.h"

#include <QList>

#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <stdexcept>
#include <string>

namespace folioset::xml {

namespace {

constexpr bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

struct ContextFree
{
    void operator()(xmlXPathContext *context) const { xmlXPathFreeContext(context); }
};
struct ObjectFree
{
    void operator()(xmlXPathObject *object) const { xmlXPathFreeObject(object); }
};

} // namespace

QByteArray text(const QString &text)
{
    QList<uint> codePoints = text.toUcs4();
    for (uint &c : codePoints) {
        if (!isXmlChar(char32_t(c)))
            c = 0xFFFD;
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codePoints.constData()),
                             codePoints.size())
        .toUtf8();
}

xmlNode *addTextElement(xmlNode *parent, const char *name, const QString &content)
{
    xmlNode *const node = xmlNewChild(parent, nullptr, BAD_CAST name, nullptr);
    if (!node)
        throw std::runtime_error(std::string("could not create element ") + name);
    // xmlNodeAddContent escapes the text itself; xmlNewChild's content argument would not.
    xmlNodeAddContent(node, BAD_CAST text(content).constData());
    return node;
}

DocPtr parseLeniently(const QByteArray &bytes)
{
    xmlInitParser();
    return DocPtr(xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                    XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS));
}

bool lastText(xmlNode *context, const char *path, QString *text)
{
    if (!context || !context->doc)
        return false;
    const std::unique_ptr<xmlXPathContext, ContextFree> xpath(xmlXPathNewContext(context->doc));
    if (!xpath)
        return false;
    xpath->node = context;
    const std::unique_ptr<xmlXPathObject, ObjectFree> found(
        xmlXPathEvalExpression(BAD_CAST path, xpath.get()));
    if (!found || !found->nodesetval || found->nodesetval->nodeNr == 0)
        return false;
    xmlNode *const last = found->nodesetval->nodeTab[found->nodesetval->nodeNr - 1];
    const TextPtr content(xmlNodeGetContent(last));
    *text = content ? QString::fromUtf8(reinterpret_cast<const char *>(content.get())) : QString();
    return true;
}

bool lastText(xmlDoc *doc, const char *path, QString *text)
{
    return doc && lastText(reinterpret_cast<xmlNode *>(doc), path, text);
}

} // namespace folioset::xml
