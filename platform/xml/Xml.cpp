#include "platform/xml/Xml.h"

#include "platform/fs/Paths.h"

#include <libexslt/exslt.h>
#include <libxml/catalog.h>
#include <libxml/entities.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <libxslt/documents.h>
#include <libxslt/extensions.h>
#include <libxslt/functions.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <atomic>
#include <climits>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace xml {
namespace {

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }
std::string S(const xmlChar* s) { return s ? std::string(reinterpret_cast<const char*>(s)) : std::string(); }

// Text of up to kInlineText bytes is kept in its text node itself, where libxml2's compact
// parsing keeps it (the properties and nsDef fields, which a text node does not use); libxml2
// frees, copies and edits such text like any other. A large structure has hundreds of
// thousands of short attribute values, each otherwise an allocation of its own.
constexpr std::size_t kInlineText = 2 * sizeof(void*) - 1;

bool isInline(xmlNodePtr t) { return t->content == reinterpret_cast<xmlChar*>(&t->properties); }

void storeInline(xmlNodePtr t, const xmlChar* text, std::size_t len) {
    xmlChar* in = reinterpret_cast<xmlChar*>(&t->properties);
    std::memmove(in, text, len);
    in[len] = 0;
    t->content = in;
}

// A source that transforms running at once share. libxslt would write into it: generate-id()
// ids (kept in the nodes, cleared when a transform ends) and marks of keyed nodes. Here ids of
// its nodes stay in each transform's own table, key() marks it only while holding marking,
// and the marks are cleared once every transform has ended.
struct SharedSource {
    xmlDocPtr doc = nullptr;
    std::recursive_mutex marking;  // a key() may call key() while its keys are made
    bool marked = false;           // guarded by marking
};

// The text of a text-method result, taken out of the result as the transform goes (see
// streamText).
struct TextStream {
    bool on = false;
    xmlDocPtr result = nullptr;  // the main result, once an instruction writes into it
    std::string text;            // what precedes the result's own text
};

// What a transform context made here carries in its _private.
struct ContextData {
    const XsltFunctions* functions = nullptr;
    SharedSource* shared = nullptr;
    std::unordered_map<const void*, unsigned long> ids;  // generate-id() of shared nodes
    TextStream stream;
};

ContextData* contextData(xmlXPathParserContextPtr ctxt) {
    xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
    return tctxt ? static_cast<ContextData*>(tctxt->_private) : nullptr;
}

// The functions of the running transform (in its context's _private) and the entry named by
// the call, or null after raising an XPath error.
template <class Map>
const typename Map::mapped_type* calledFunction(xmlXPathParserContextPtr ctxt, Map XsltFunctions::*which) {
    const ContextData* data = contextData(ctxt);
    const XsltFunctions* functions = data ? data->functions : nullptr;
    const char* name = reinterpret_cast<const char*>(ctxt->context->function);
    if (functions && name) {
        const auto it = (functions->*which).find(name);
        if (it != (functions->*which).end()) return &it->second;
    }
    xmlXPathErr(ctxt, XPATH_UNKNOWN_FUNC_ERROR);
    return nullptr;
}

// The first node in document order of the node-set argument on top of the stack.
std::optional<Node> popFirstNode(xmlXPathParserContextPtr ctxt) {
    xmlNodeSetPtr nodes = xmlXPathPopNodeSet(ctxt);
    if (xmlXPathCheckError(ctxt)) return std::nullopt;
    if (nodes) xmlXPathNodeSetSort(nodes);
    const Node node(nodes && nodes->nodeNr > 0 ? nodes->nodeTab[0] : nullptr);
    xmlXPathFreeNodeSet(nodes);
    return node;
}

void textFunction(xmlXPathParserContextPtr ctxt, int nargs) {
    if (nargs != 1) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    const auto* function = calledFunction(ctxt, &XsltFunctions::text);
    if (!function) return;
    const std::optional<Node> node = popFirstNode(ctxt);
    if (!node) return;
    std::string value;
    try {
        value = (*function)(*node);
    } catch (...) {
        xmlXPathErr(ctxt, XPATH_EXPR_ERROR);  // never through libxml2's frames
        return;
    }
    valuePush(ctxt, xmlXPathNewString(X(value)));
}

void nodesFunction(xmlXPathParserContextPtr ctxt, int nargs) {
    if (nargs != 2) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    const auto* function = calledFunction(ctxt, &XsltFunctions::nodes);
    if (!function) return;
    const double number = xmlXPathPopNumber(ctxt);
    if (xmlXPathCheckError(ctxt)) return;
    const std::optional<Node> node = popFirstNode(ctxt);
    if (!node) return;
    NodeList found;
    try {
        found = (*function)(*node, number);
    } catch (...) {
        xmlXPathErr(ctxt, XPATH_EXPR_ERROR);
        return;
    }
    xmlNodeSetPtr set = xmlXPathNodeSetCreate(nullptr);
    for (const Node& n : found)
        if (set && n) xmlXPathNodeSetAddUnique(set, n.raw());
    if (set) xmlXPathNodeSetSort(set);
    valuePush(ctxt, xmlXPathWrapNodeSet(set));
}

// Whether libxslt keeps an id and marks for the node (a namespace node's are its element's).
bool holdsMarks(xmlNodePtr n) {
    switch (n->type) {
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
        case XML_ATTRIBUTE_NODE:
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_PI_NODE:
        case XML_COMMENT_NODE:
            return true;
        default:
            return false;
    }
}

// generate-id(): libxslt's own ids, numbered alike, but those of a shared source's nodes are
// kept in the transform's table instead of the nodes.
void generateId(xmlXPathParserContextPtr ctxt, int nargs) {
    ContextData* data = contextData(ctxt);
    xmlNodePtr cur = nullptr;
    if (data && data->shared) {
        if (nargs == 0) {
            cur = ctxt->context->node;
        } else if (nargs == 1 && ctxt->value && ctxt->value->type == XPATH_NODESET && ctxt->value->nodesetval) {
            const xmlNodeSetPtr set = ctxt->value->nodesetval;
            for (int i = 0; i < set->nodeNr; ++i)
                if (!cur || xmlXPathCmpNodes(cur, set->nodeTab[i]) == -1) cur = set->nodeTab[i];
        }
    }
    const xmlChar* prefix = nullptr;
    if (cur && cur->type == XML_NAMESPACE_DECL) {
        prefix = reinterpret_cast<xmlNsPtr>(cur)->prefix ? reinterpret_cast<xmlNsPtr>(cur)->prefix : BAD_CAST "";
        cur = reinterpret_cast<xmlNodePtr>(reinterpret_cast<xmlNsPtr>(cur)->next);  // its element
    }
    xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
    if (!cur || !holdsMarks(cur) || cur->doc != data->shared->doc) return xsltGenerateIdFunction(ctxt, nargs);
    std::string id;
    try {
        auto [it, added] = data->ids.try_emplace(cur, 0);
        if (added) {
            if (tctxt->currentId == ULONG_MAX) {
                data->ids.erase(it);
                xmlXPathErr(ctxt, XPATH_MEMORY_ERROR);
                return;
            }
            it->second = ++tctxt->currentId;
        }
        id = "id" + std::to_string(it->second);
        if (prefix) {
            // Only ASCII letters and digits: the prefix in hexadecimal.
            static const char hex[] = "0123456789ABCDEF";
            id += "ns";
            for (const xmlChar* c = prefix; *c; ++c) id += {hex[*c >> 4], hex[*c & 15]};
        }
    } catch (...) {
        xmlXPathErr(ctxt, XPATH_MEMORY_ERROR);  // never through libxml2's frames
        return;
    }
    if (nargs == 1) xmlXPathFreeObject(valuePop(ctxt));
    valuePush(ctxt, xmlXPathNewString(X(id)));
}

// key(): over a shared source, libxslt's marks of the keyed nodes are written one transform at
// a time and left for clearMarks, not cleared by each transform as it ends.
// Once the transform's keys of the shared source are made, a key() there only looks them up
// in the transform's own tables and runs alongside the others.
void key(xmlXPathParserContextPtr ctxt, int nargs) {
    ContextData* data = contextData(ctxt);
    if (!data || !data->shared) return xsltKeyFunction(ctxt, nargs);
    xsltTransformContextPtr t = xsltXPathGetTransformContext(ctxt);
    const xmlNodePtr node = ctxt->context->node;
    if (t && node && node->type != XML_NAMESPACE_DECL && node->doc == data->shared->doc && t->keyInitLevel == 0) {
        const xsltDocumentPtr made =
            t->document && t->document->doc == node->doc ? t->document : xsltFindDocument(t, node->doc);
        if (made && made->nbKeysComputed >= t->nbKeys) return xsltKeyFunction(ctxt, nargs);
    }
    std::lock_guard<std::recursive_mutex> lock(data->shared->marking);
    xsltKeyFunction(ctxt, nargs);
    xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
    if (tctxt->sourceDocDirty) {
        tctxt->sourceDocDirty = 0;
        data->shared->marked = true;
    }
}

// The text of a node-set argument whose first node is an attribute of one text or a text,
// read where it is held; null for other arguments, which are cast to strings.
const xmlChar* heldText(xmlXPathObjectPtr o) {
    if (!o || o->type != XPATH_NODESET || !o->nodesetval || o->nodesetval->nodeNr == 0) return nullptr;
    xmlNodeSetPtr set = o->nodesetval;
    if (set->nodeNr > 1) xmlXPathNodeSetSort(set);  // as the cast does
    const xmlNodePtr n = set->nodeTab[0];
    if (n->type == XML_TEXT_NODE) return n->content;
    if (n->type != XML_ATTRIBUTE_NODE) return nullptr;
    const xmlNodePtr t = n->children;
    return t && !t->next && t->type == XML_TEXT_NODE ? t->content : nullptr;
}

// Pops the nargs arguments of the call as strings, first argument first, and their texts;
// false (nothing left to free) after an XPath error. With held, node-sets that heldText reads
// stay as they are.
bool popStrings(xmlXPathParserContextPtr ctxt, int nargs, std::vector<xmlXPathObjectPtr>& out,
                std::vector<const xmlChar*>& texts, bool held = false) {
    static const xmlChar empty[] = "";
    out.assign(nargs, nullptr);
    texts.assign(nargs, empty);
    for (int i = nargs - 1; i >= 0; --i) {
        const xmlChar* text = held ? heldText(ctxt->value) : nullptr;
        if (!text) CAST_TO_STRING;
        xmlXPathObjectPtr o = valuePop(ctxt);
        if (!o || (!text && o->type != XPATH_STRING)) {
            xmlXPathFreeObject(o);
            for (xmlXPathObjectPtr p : out) xmlXPathFreeObject(p);
            xmlXPathErr(ctxt, XPATH_INVALID_TYPE);
            return false;
        }
        out[i] = o;
        if (text || o->stringval) texts[i] = text ? text : o->stringval;
    }
    return true;
}

// concat(): the strings copied once into a result of their total length (libxml2's copies the
// text so far at every argument), attribute values straight from the source.
void concat(xmlXPathParserContextPtr ctxt, int nargs) {
    if (!ctxt) return;
    if (nargs < 2) {
        CHECK_ARITY(2);
    }
    if (ctxt->valueNr < ctxt->valueFrame + nargs) XP_ERROR(XPATH_STACK_ERROR);
    std::vector<xmlXPathObjectPtr> parts;
    std::vector<const xmlChar*> texts;
    if (!popStrings(ctxt, nargs, parts, texts, true)) return;
    std::vector<std::size_t> sizes(texts.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) total += sizes[i] = std::strlen(reinterpret_cast<const char*>(texts[i]));
    auto* out = static_cast<xmlChar*>(total < INT_MAX ? xmlMalloc(total + 1) : nullptr);
    std::size_t at = 0;
    for (std::size_t i = 0; out && i < texts.size(); ++i) {
        std::memcpy(out + at, texts[i], sizes[i]);
        at += sizes[i];
    }
    for (xmlXPathObjectPtr p : parts) xmlXPathFreeObject(p);
    if (!out) XP_ERROR(XPATH_MEMORY_ERROR);
    out[at] = 0;
    valuePush(ctxt, xmlXPathWrapString(out));
}

// The byte length of the UTF-8 character at s (s valid).
std::size_t utf8Size(const xmlChar* s) {
    return *s < 0x80 ? 1 : *s < 0xE0 ? 2 : *s < 0xF0 ? 3 : 4;
}

// translate(): one pass over the string, each character looked up in a table of from's
// (libxml2's searches from for every character and grows its result a few bytes at a time).
// Text that is not UTF-8 is left to libxml2's own.
void translate(xmlXPathParserContextPtr ctxt, int nargs) {
    CHECK_ARITY(3);
    std::vector<xmlXPathObjectPtr> args;
    std::vector<const xmlChar*> texts;
    if (!popStrings(ctxt, nargs, args, texts)) return;
    const xmlChar *str = texts[0], *from = texts[1], *to = texts[2];
    if (!xmlCheckUTF8(str) || !xmlCheckUTF8(from) || !xmlCheckUTF8(to)) {
        for (xmlXPathObjectPtr a : args) valuePush(ctxt, a);
        return xmlXPathTranslateFunction(ctxt, 3);
    }
    // The replacement of each character of from (its first place there): to's character at
    // that place, or nothing past to's end.
    std::vector<std::string_view> toChars;
    for (const xmlChar* c = to; *c; c += utf8Size(c))
        toChars.emplace_back(reinterpret_cast<const char*>(c), utf8Size(c));
    std::array<int, 128> ascii;
    ascii.fill(-1);  // -1: kept
    std::unordered_map<std::string_view, int> wide;
    int index = 0;
    for (const xmlChar* c = from; *c; c += utf8Size(c), ++index) {
        if (*c < 0x80) {
            if (ascii[*c] < 0) ascii[*c] = index;
        } else {
            wide.try_emplace(std::string_view(reinterpret_cast<const char*>(c), utf8Size(c)), index);
        }
    }
    std::string out;
    try {
        out.reserve(std::strlen(reinterpret_cast<const char*>(str)));
        for (const xmlChar* c = str; *c;) {
            const std::size_t n = utf8Size(c);
            int at = -1;
            if (*c < 0x80) {
                at = ascii[*c];
            } else if (!wide.empty()) {
                const auto it = wide.find(std::string_view(reinterpret_cast<const char*>(c), n));
                if (it != wide.end()) at = it->second;
            }
            if (at < 0)
                out.append(reinterpret_cast<const char*>(c), n);
            else if (static_cast<std::size_t>(at) < toChars.size())
                out.append(toChars[at]);
            c += n;
        }
    } catch (...) {
        for (xmlXPathObjectPtr a : args) xmlXPathFreeObject(a);
        XP_ERROR(XPATH_MEMORY_ERROR);  // never through libxml2's frames
    }
    for (xmlXPathObjectPtr a : args) xmlXPathFreeObject(a);
    valuePush(ctxt, xmlXPathNewString(X(out)));
}

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // libxml2 sets up its catalogue, and the lock that guards it, on first use without a
        // lock of its own: transforms loading their first documents on several threads at once
        // could each make a lock, leave one of them held, and all wait on it for ever.
        xmlInitializeCatalog();
        exsltRegisterAll();
    });
}

// Collects libxml2 / libxslt messages of the current call into one text.
struct ErrorScope {
    static thread_local std::string* sink;
    std::string text;
    std::string* prev;
    ErrorScope() : prev(sink) {
        sink = &text;
        xmlSetGenericErrorFunc(nullptr, &ErrorScope::onError);
        // libxslt's handler is process-wide: set once, it is only read by concurrent transforms.
        if (xsltGenericError != &ErrorScope::onError) xsltSetGenericErrorFunc(nullptr, &ErrorScope::onError);
    }
    ~ErrorScope() { sink = prev; }
    static void onError(void*, const char* fmt, ...) {
        if (!sink) return;
        char buf[1024];
        va_list ap;
        va_start(ap, fmt);
        std::vsnprintf(buf, sizeof buf, fmt, ap);
        va_end(ap);
        *sink += buf;
    }
    std::string message(const char* fallback) const {
        std::string t = text;
        while (!t.empty() && (t.back() == '\n' || t.back() == ' ')) t.pop_back();
        return t.empty() ? std::string(fallback) : t;
    }
};
thread_local std::string* ErrorScope::sink = nullptr;

constexpr int kParseOptions = XML_PARSE_NOBLANKS | XML_PARSE_NONET | XML_PARSE_BIG_LINES;
// Longest CDATA section written, well below the parser's limit on one text (XML_MAX_TEXT_LENGTH).
constexpr size_t kMaxCDataSection = 1 << 20;

NodeList evalNodes(xmlDocPtr doc, xmlNodePtr ctxNode, std::string_view expr) {
    NodeList out;
    if (!doc) return out;
    ErrorScope es;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx) return out;
    ctx->node = ctxNode ? ctxNode : reinterpret_cast<xmlNodePtr>(doc);
    std::string e(expr);
    xmlXPathObjectPtr res = xmlXPathEvalExpression(X(e), ctx);
    if (res && res->type == XPATH_NODESET && res->nodesetval) {
        out.reserve(res->nodesetval->nodeNr);
        for (int i = 0; i < res->nodesetval->nodeNr; ++i) out.emplace_back(res->nodesetval->nodeTab[i]);
    }
    if (res) xmlXPathFreeObject(res);
    xmlXPathFreeContext(ctx);
    return out;
}

Node evalFirst(xmlDocPtr doc, xmlNodePtr ctxNode, std::string_view expr) {
    NodeList l = evalNodes(doc, ctxNode, expr);
    return l.empty() ? Node() : l.front();
}

}  // namespace

std::string visibleText(std::string_view text) {
    auto forbidden = [](unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; };
    if (std::none_of(text.begin(), text.end(), [&](char c) { return forbidden(static_cast<unsigned char>(c)); }))
        return std::string(text);
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 8);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (forbidden(c)) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string xpathLiteral(std::string_view raw) {
    const std::string visible = visibleText(raw);
    const std::string_view text = visible;
    if (text.find('\'') == std::string_view::npos) return "'" + std::string(text) + "'";
    if (text.find('"') == std::string_view::npos) return "\"" + std::string(text) + "\"";
    // Both quote kinds: concat('a', "'", 'b', ...)
    std::string out = "concat(";
    std::string part;
    bool first = true;
    auto flush = [&] {
        if (part.empty()) return;
        if (!first) out += ", ";
        out += "'" + part + "'";
        part.clear();
        first = false;
    };
    for (char c : text) {
        if (c == '\'') {
            flush();
            if (!first) out += ", ";
            out += "\"'\"";
            first = false;
        } else {
            part += c;
        }
    }
    flush();
    out += ")";
    return out;
}

// ---------------------------------------------------------------- Node

bool Node::isElement() const { return n_ && n_->type == XML_ELEMENT_NODE; }

std::string Node::name() const { return n_ ? S(n_->name) : std::string(); }

std::string Node::text() const {
    if (!n_) return {};
    xmlChar* c = xmlNodeGetContent(n_);
    std::string s = S(c);
    xmlFree(c);
    return s;
}

void Node::setText(std::string_view value) {
    if (!n_) return;
    std::string v = visibleText(value);
    xmlChar* enc = xmlEncodeSpecialChars(n_->doc, X(v));
    xmlNodeSetContent(n_, enc);
    xmlFree(enc);
}

bool Node::hasAttribute(std::string_view name) const {
    if (!isElement()) return false;
    std::string nm(name);
    return xmlHasProp(n_, X(nm)) != nullptr;
}

std::string Node::attribute(std::string_view name) const {
    if (!isElement()) return {};
    std::string nm(name);
    xmlChar* v = xmlGetProp(n_, X(nm));
    std::string s = S(v);
    xmlFree(v);
    return s;
}

void Node::setAttribute(std::string_view name, std::string_view value) {
    if (!isElement()) return;
    std::string nm(name), v = visibleText(value);
    // An empty value is an attribute without a text node: the same to every reader and
    // writer, and a large structure has hundreds of thousands of them.
    xmlAttrPtr a = xmlSetProp(n_, X(nm), v.empty() || v.size() <= kInlineText ? nullptr : X(v));
    if (!a || v.empty() || v.size() > kInlineText) return;
    if (xmlIsID(n_->doc, n_, a) == 1) {
        xmlSetProp(n_, X(nm), X(v));  // registered as an ID with its value
        return;
    }
    xmlNodePtr t = xmlNewDocText(n_->doc, nullptr);
    if (!t) throw std::bad_alloc();
    storeInline(t, X(v), v.size());
    t->parent = reinterpret_cast<xmlNodePtr>(a);
    a->children = a->last = t;
}

void Node::removeAttribute(std::string_view name) {
    if (!isElement()) return;
    std::string nm(name);
    if (xmlAttrPtr a = xmlHasProp(n_, X(nm))) xmlRemoveProp(a);
}

std::vector<std::pair<std::string, std::string>> Node::attributes() const {
    std::vector<std::pair<std::string, std::string>> out;
    if (!isElement()) return out;
    for (xmlAttrPtr a = n_->properties; a; a = a->next) {
        xmlChar* v = xmlNodeListGetString(n_->doc, a->children, 1);
        out.emplace_back(S(a->name), S(v));
        xmlFree(v);
    }
    return out;
}

Node Node::selectSingleNode(std::string_view xpath) const {
    return n_ ? evalFirst(n_->doc, n_, xpath) : Node();
}

NodeList Node::selectNodes(std::string_view xpath) const {
    return n_ ? evalNodes(n_->doc, n_, xpath) : NodeList();
}

int Node::count(std::string_view xpath) const { return static_cast<int>(selectNodes(xpath).size()); }

Node Node::parent() const {
    if (!n_ || !n_->parent || n_->parent->type != XML_ELEMENT_NODE) return Node();
    return Node(n_->parent);
}

Node Node::firstChild() const {
    if (!n_) return Node();
    for (xmlNodePtr c = n_->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return Node(c);
    return Node();
}

NodeList Node::childElements() const {
    NodeList out;
    if (!n_) return out;
    for (xmlNodePtr c = n_->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) out.emplace_back(c);
    return out;
}

int Node::childCount() const {
    if (!n_) return 0;
    return static_cast<int>(xmlChildElementCount(n_));
}

Node Node::appendElement(std::string_view name) {
    if (!n_) return Node();
    std::string nm(name);
    return Node(xmlNewChild(n_, nullptr, X(nm), nullptr));
}

void Node::appendCData(std::string_view text) {
    if (!n_) return;
    // "]]>" cannot stand inside one section: it is split after "]]", the rest goes on in a
    // new section, and the element's text stays the same. The parser joins adjacent sections
    // into one text and refuses a text past its size limit, so a long text is cut between
    // characters and its parts are kept apart by empty comments, which add nothing to the text.
    const std::string visible = visibleText(text);
    text = visible;
    size_t joined = 0;  // bytes of the sections since the last comment
    do {
        const size_t end = text.find("]]>");
        size_t size = end == std::string_view::npos ? text.size() : end + 2;
        if (size > kMaxCDataSection) {
            size_t cut = kMaxCDataSection;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
            size = cut > 0 ? cut : kMaxCDataSection;
        }
        if (joined > 0 && joined + size > kMaxCDataSection) {
            xmlAddChild(n_, xmlNewDocComment(n_->doc, reinterpret_cast<const xmlChar*>("")));
            joined = 0;
        }
        xmlNodePtr c = xmlNewCDataBlock(n_->doc, reinterpret_cast<const xmlChar*>(text.data()),
                                        static_cast<int>(size));
        xmlAddChild(n_, c);
        joined += size;
        text.remove_prefix(size);
    } while (!text.empty());
}

Node Node::appendChild(Node child) {
    if (!n_ || !child.n_) return Node();
    xmlNodePtr c = child.n_;
    if (c->doc != n_->doc) {
        c = xmlDocCopyNode(c, n_->doc, 1);
    } else {
        xmlUnlinkNode(c);
    }
    xmlNodePtr added = xmlAddChild(n_, c);
    return Node(added);
}

Node Node::insertBefore(Node child, Node ref) {
    if (!ref.n_) return appendChild(child);
    if (!n_ || !child.n_) return Node();
    xmlNodePtr c = child.n_;
    if (c->doc != n_->doc) c = xmlDocCopyNode(c, n_->doc, 1);
    else xmlUnlinkNode(c);
    return Node(xmlAddPrevSibling(ref.n_, c));
}

Node Node::cloneNode(bool deep) const {
    if (!n_) return Node();
    return Node(xmlDocCopyNode(n_, n_->doc, deep ? 1 : 2));
}

void Node::remove() {
    if (!n_) return;
    xmlUnlinkNode(n_);
    xmlFreeNode(n_);
    n_ = nullptr;
}

std::string Node::xml() const {
    if (!n_) return {};
    xmlBufferPtr buf = xmlBufferCreate();
    xmlNodeDump(buf, n_->doc, n_, 0, 0);
    std::string s(reinterpret_cast<const char*>(xmlBufferContent(buf)), xmlBufferLength(buf));
    xmlBufferFree(buf);
    return s;
}

_xmlDoc* Node::docRaw() const { return n_ ? n_->doc : nullptr; }

// ---------------------------------------------------------------- Document

namespace {
// An empty document whose element and attribute names come from a dictionary, as a parsed
// document's do: one copy of "COLUMN" or "Datatype" however many nodes carry it.
xmlDocPtr newDocument() {
    xmlDocPtr d = xmlNewDoc(BAD_CAST "1.0");
    if (d && !d->dict) d->dict = xmlDictCreate();
    return d;
}
}  // namespace

Document::Document() {
    initOnce();
    doc_ = newDocument();
}

Document::~Document() {
    if (doc_) xmlFreeDoc(doc_);
}

Document::Document(Document&& o) noexcept : doc_(o.doc_), error_(std::move(o.error_)) { o.doc_ = newDocument(); }

Document& Document::operator=(Document&& o) noexcept {
    if (this != &o) {
        std::swap(doc_, o.doc_);
        error_ = std::move(o.error_);
    }
    return *this;
}

void Document::adopt(_xmlDoc* d) {
    if (doc_) xmlFreeDoc(doc_);
    doc_ = d;
}

namespace {

void noteExternalEntity(void* payload, void* data, const xmlChar* name) {
    auto* external = static_cast<std::string*>(data);
    const xmlEntityType type = static_cast<xmlEntityPtr>(payload)->etype;
    if (external->empty() && type != XML_INTERNAL_GENERAL_ENTITY && type != XML_INTERNAL_PARAMETER_ENTITY &&
        type != XML_INTERNAL_PREDEFINED_ENTITY)
        *external = reinterpret_cast<const char*>(name);
}

// Parses a document with its internal entities in place of their references, as text of its
// own: it keeps no document type, so it reads the same once copied or written out. The first
// parse substitutes nothing, so a document that declares an external entity is refused before
// anything it names could be read; one that uses an entity it does not declare (one the unread
// external subset would hold) is refused too, where libxml2 would drop it. The entities are
// then put in by a second parse, where libxml2's amplification limits count the copies.
// open(options) makes a parser of the source with those options. Null on refusal, with refused
// saying why ("" when the document is not well-formed: the parser has said why).
xmlDocPtr readDocument(const std::function<xmlParserCtxtPtr(int)>& open, std::string& refused) {
    auto parse = [&](int options, bool& undeclared) {
        xmlParserCtxtPtr ctxt = open(kParseOptions | options);
        if (!ctxt) return static_cast<xmlDocPtr>(nullptr);
        xmlParseDocument(ctxt);
        xmlDocPtr d = ctxt->myDoc;
        ctxt->myDoc = nullptr;
        if (d && !ctxt->wellFormed) {
            xmlFreeDoc(d);
            d = nullptr;
        }
        undeclared = d && !ctxt->valid;  // not validating, only an undeclared entity marks it
        xmlFreeParserCtxt(ctxt);
        return d;
    };
    bool undeclared = false;
    xmlDocPtr d = parse(0, undeclared);
    if (!d || (!d->intSubset && !d->extSubset)) return d;
    std::string external;
    if (xmlDtdPtr dtd = d->intSubset) {
        if (dtd->entities) xmlHashScan(static_cast<xmlHashTablePtr>(dtd->entities), noteExternalEntity, &external);
        if (dtd->pentities) xmlHashScan(static_cast<xmlHashTablePtr>(dtd->pentities), noteExternalEntity, &external);
    }
    if (!external.empty() || undeclared) {
        refused = external.empty() ? "the document uses an entity that it does not declare"
                                   : "the document declares the external entity \"" + external +
                                         "\", and external entities are not read";
        xmlFreeDoc(d);
        return nullptr;
    }
    if (d->intSubset && d->intSubset->entities) {
        xmlFreeDoc(d);
        if (!(d = parse(XML_PARSE_NOENT, undeclared))) return nullptr;
    }
    if (xmlDtdPtr dtd = d->intSubset) {
        xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(dtd));
        xmlFreeDtd(dtd);
        d->intSubset = nullptr;
    }
    return d;
}

}  // namespace

bool Document::load(const std::string& path) {
    ErrorScope es;
    std::string refused;
    // The options are those of the file's own loading too (no network).
    xmlDocPtr d = readDocument([&](int options) { return xmlCreateURLParserCtxt(path.c_str(), options); }, refused);
    if (!d) {
        error_ = refused.empty() ? es.message(("cannot load " + path).c_str()) : path + ": " + refused;
        return false;
    }
    error_.clear();
    adopt(d);
    return true;
}

bool Document::loadXML(std::string_view text) {
    ErrorScope es;
    std::string refused;
    xmlDocPtr d = readDocument(
        [&](int options) {
            xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size()));
            if (ctxt) xmlCtxtUseOptions(ctxt, options);
            return ctxt;
        },
        refused);
    if (!d) {
        error_ = refused.empty() ? es.message("not well-formed XML") : refused;
        return false;
    }
    error_.clear();
    adopt(d);
    return true;
}

bool Document::save(const std::string& path) const { return files::writeTextFile(path, xml()); }

std::string Document::xml() const {
    // Serialised straight into the string: no second buffer and copy of a large document.
    std::string s;
    xmlSaveCtxtPtr save = xmlSaveToIO(
        [](void* context, const char* buffer, int len) {
            static_cast<std::string*>(context)->append(buffer, static_cast<std::size_t>(len));
            return len;
        },
        nullptr, &s, "UTF-8", XML_SAVE_FORMAT);
    if (!save) return s;
    xmlSaveDoc(save, doc_);
    xmlSaveClose(save);
    return s;
}

bool Document::isEmpty() const { return xmlDocGetRootElement(doc_) == nullptr; }

Node Document::documentElement() const { return Node(xmlDocGetRootElement(doc_)); }

Node Document::createRoot(std::string_view name) {
    std::string nm(name);
    xmlNodePtr r = xmlNewDocNode(doc_, nullptr, X(nm), nullptr);
    xmlNodePtr old = xmlDocSetRootElement(doc_, r);
    if (old) xmlFreeNode(old);
    return Node(r);
}

Node Document::setRoot(Node node) {
    if (!node) return Node();
    xmlNodePtr c = xmlDocCopyNode(node.raw(), doc_, 1);
    xmlNodePtr old = xmlDocSetRootElement(doc_, c);
    if (old) xmlFreeNode(old);
    return Node(c);
}

Node Document::createElement(std::string_view name) {
    std::string nm(name);
    return Node(xmlNewDocNode(doc_, nullptr, X(nm), nullptr));
}

void Document::clear() { adopt(newDocument()); }

Document Document::clone() const {
    Document d;
    d.adopt(xmlCopyDoc(doc_, 1));
    return d;
}

Node Document::selectSingleNode(std::string_view xpath) const { return evalFirst(doc_, nullptr, xpath); }
NodeList Document::selectNodes(std::string_view xpath) const { return evalNodes(doc_, nullptr, xpath); }
int Document::count(std::string_view xpath) const { return static_cast<int>(selectNodes(xpath).size()); }
Node Document::asNode() const { return Node(reinterpret_cast<xmlNodePtr>(doc_)); }

// ---------------------------------------------------------------- Stylesheet

Stylesheet::Stylesheet() { initOnce(); }
Stylesheet::~Stylesheet() {
    if (ss_) xsltFreeStylesheet(ss_);
}
Stylesheet::Stylesheet(Stylesheet&& o) noexcept : ss_(o.ss_), error_(std::move(o.error_)) { o.ss_ = nullptr; }
Stylesheet& Stylesheet::operator=(Stylesheet&& o) noexcept {
    std::swap(ss_, o.ss_);
    error_ = std::move(o.error_);
    return *this;
}

bool Stylesheet::load(const std::string& path) {
    ErrorScope es;
    xmlDocPtr d = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOCDATA);
    if (!d) {
        error_ = es.message(("cannot load style sheet " + path).c_str());
        return false;
    }
    xsltStylesheetPtr s = xsltParseStylesheetDoc(d);
    if (!s) {
        xmlFreeDoc(d);
        error_ = es.message(("invalid style sheet " + path).c_str());
        return false;
    }
    if (ss_) xsltFreeStylesheet(ss_);
    ss_ = s;
    error_.clear();
    return true;
}

bool Stylesheet::loadXML(std::string_view text) {
    ErrorScope es;
    xmlDocPtr d = xmlReadMemory(text.data(), static_cast<int>(text.size()), "stylesheet.xsl", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOCDATA);
    if (!d) {
        error_ = es.message("style sheet is not well-formed XML");
        return false;
    }
    xsltStylesheetPtr s = xsltParseStylesheetDoc(d);
    if (!s) {
        xmlFreeDoc(d);
        error_ = es.message("invalid style sheet");
        return false;
    }
    if (ss_) xsltFreeStylesheet(ss_);
    ss_ = s;
    error_.clear();
    return true;
}

namespace {

// The sink of the running transform; result documents are routed to it through libxml2's
// output callbacks, which are process-wide.
thread_local const ResultDocumentSink* resultSink = nullptr;

bool isResultHref(const char* uri) {
    return resultSink && uri && std::strncmp(uri, kResultDocumentPrefix, std::strlen(kResultDocumentPrefix)) == 0;
}

struct OpenResult {
    std::string href;
    std::string text;
};

int matchResult(const char* uri) { return isResultHref(uri) ? 1 : 0; }
void* openResult(const char* uri) { return new OpenResult{uri, {}}; }
int writeResult(void* context, const char* buffer, int len) {
    static_cast<OpenResult*>(context)->text.append(buffer, static_cast<std::size_t>(len));
    return len;
}
int closeResult(void* context) {
    std::unique_ptr<OpenResult> result(static_cast<OpenResult*>(context));
    try {
        return resultSink && (*resultSink)(result->href, std::move(result->text)) ? 0 : -1;
    } catch (...) {
        return -1;  // never through libxml2's frames
    }
}

void registerResultOutput() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Registering a handler first would leave out libxml2's own file handlers.
        xmlRegisterDefaultOutputCallbacks();
        xmlRegisterOutputCallbacks(matchResult, openResult, writeResult, closeResult);
    });
}

int allowResultWrite(xsltSecurityPrefsPtr, xsltTransformContextPtr, const char* value) {
    return isResultHref(value) ? 1 : 0;
}

// A transform context with its parameters, made before the transform runs.
struct Prepared {
    xsltTransformContextPtr ctxt = nullptr;
    xsltSecurityPrefsPtr sec = nullptr;
    ContextData data;
    Prepared() = default;
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    ~Prepared() {
        if (ctxt) xsltFreeTransformContext(ctxt);
        if (sec) xsltFreeSecurityPrefs(sec);
    }
};

// A transform context over doc. Making one stamps doc's element order into its elements, a
// walk of the whole document that libxslt leaves out only while its debugger is on; ordered
// says a context made before, with doc unchanged since, has stamped it. (Contexts are made
// only while no transform runs, so none sees the debugger's status change.) shared is the
// source when other transforms share it.
std::unique_ptr<Prepared> prepare(xsltStylesheetPtr ss, xmlDocPtr doc, const XsltParams& params, bool ordered = false,
                                  const XsltFunctions* functions = nullptr, SharedSource* shared = nullptr) {
    auto p = std::make_unique<Prepared>();
    if (ordered) {
        const int status = xsltGetDebuggerStatus();
        xsltSetDebuggerStatus(XSLT_DEBUG_INIT);
        p->ctxt = xsltNewTransformContext(ss, doc);
        xsltSetDebuggerStatus(status);
        if (p->ctxt) p->ctxt->debugStatus = status;
    } else {
        p->ctxt = xsltNewTransformContext(ss, doc);
    }
    if (!p->ctxt) return nullptr;
    // A style sheet writes no files of its own: extra documents go only to a result sink.
    p->sec = xsltNewSecurityPrefs();
    if (!p->sec) return nullptr;
    xsltSetSecurityPrefs(p->sec, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(p->sec, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(p->sec, XSLT_SECPREF_WRITE_NETWORK, allowResultWrite);
    xsltSetCtxtSecurityPrefs(p->sec, p->ctxt);
    for (const auto& [k, v] : params) xsltQuoteOneUserParam(p->ctxt, X(k), X(v));
    // Every context has them: a compiled expression keeps the function it first called.
    p->data.shared = shared;
    p->ctxt->_private = &p->data;
    const std::pair<const char*, xmlXPathFunction> replaced[] = {
        {"generate-id", generateId}, {"key", key}, {"concat", concat}, {"translate", translate}};
    for (const auto& [name, function] : replaced)
        if (xmlXPathRegisterFuncNS(p->ctxt->xpathCtxt, BAD_CAST name, nullptr, nullptr) != 0 ||
            xmlXPathRegisterFunc(p->ctxt->xpathCtxt, BAD_CAST name, function) != 0)
            return nullptr;
    if (functions) {
        p->data.functions = functions;
        for (const auto& entry : functions->text)
            if (xsltRegisterExtFunction(p->ctxt, X(entry.first), BAD_CAST kFunctionNamespace, textFunction) != 0)
                return nullptr;
        for (const auto& entry : functions->nodes)
            if (xsltRegisterExtFunction(p->ctxt, X(entry.first), BAD_CAST kFunctionNamespace, nodesFunction) != 0)
                return nullptr;
    }
    return p;
}

// One of several contexts over doc made in turn before any of them runs: once one is made,
// doc's element order is stamped and the later ones skip that walk. error says why one failed.
std::unique_ptr<Prepared> prepareInTurn(xsltStylesheetPtr ss, SharedSource& doc, const XsltParams& params,
                                        bool& stamped, std::string& error, const XsltFunctions* functions = nullptr) {
    ErrorScope es;
    auto p = prepare(ss, doc.doc, params, stamped, functions, &doc);
    if (p)
        stamped = true;
    else
        error = es.message("transformation failed");
    return p;
}

xmlDocPtr run(xsltStylesheetPtr ss, xmlDocPtr doc, Prepared* p) {
    if (!p) return nullptr;
    xmlDocPtr res = xsltApplyStylesheetUser(ss, doc, nullptr, nullptr, nullptr, p->ctxt);
    if (res && p->ctxt->state != XSLT_STATE_OK) {
        xmlFreeDoc(res);
        res = nullptr;
    }
    return res;
}

// The result as UTF-8 text, saying so whatever encoding the output declares, after out.
// Frees res.
bool serialise(xsltStylesheetPtr ss, xmlDocPtr res, std::string& out) {
    xmlChar* savedEnc = ss->encoding;
    ss->encoding = xmlStrdup(BAD_CAST "UTF-8");
    xmlChar* mem = nullptr;
    int len = 0;
    int rc = xsltSaveResultToString(&mem, &len, res, ss);
    xmlFree(ss->encoding);
    ss->encoding = savedEnc;
    xmlFreeDoc(res);
    if (rc != 0) return false;
    if (mem) {
        out.append(reinterpret_cast<const char*>(mem), static_cast<std::size_t>(len));
        xmlFree(mem);
    }
    return true;
}

// A text-method result is one text node that libxslt extends in place while it knows the
// node's length (ctxt->lasttext). Making a variable's or parameter's content, or any other
// text, makes it forget it: the next value then measures and reallocates the whole text so
// far, and a report of thousands of tables takes quadratic time. Before each instruction
// writing at the top of the result, this moves the result's text node into the stream when
// libxslt no longer knows its length or it has grown past kStreamChunk; libxslt then starts a
// new node. The text comes out the same: the result's text nodes, in order.
constexpr int kStreamChunk = 1 << 16;

void streamText(xmlNodePtr, xmlNodePtr, xsltTemplatePtr, xsltTransformContextPtr ctxt) {
    auto* data = static_cast<ContextData*>(ctxt->_private);
    if (!data || !data->stream.on || ctxt->type != XSLT_OUTPUT_TEXT) return;
    TextStream& stream = data->stream;
    if (!stream.result) {
        // The first instruction writing into a document other than a tree fragment writes into
        // the result (global variables are made before it).
        if (!ctxt->output || ctxt->insert != reinterpret_cast<xmlNodePtr>(ctxt->output) ||
            XSLT_IS_RES_TREE_FRAG(ctxt->output))
            return;
        stream.result = ctxt->output;
    }
    if (ctxt->insert != reinterpret_cast<xmlNodePtr>(stream.result)) return;
    // Only a lone text node: anything else keeps its place in the result, and the text after it.
    xmlNodePtr text = stream.result->children;
    if (!text || text != stream.result->last || text->type != XML_TEXT_NODE || !text->content) return;
    const bool known = ctxt->lasttext == text->content;
    if (known && ctxt->lasttuse < kStreamChunk) return;
    try {
        const char* content = reinterpret_cast<const char*>(text->content);
        stream.text.append(content, known ? static_cast<std::size_t>(ctxt->lasttuse) : std::strlen(content));
    } catch (...) {
        xsltTransformError(ctxt, nullptr, nullptr, "out of memory\n");  // never through libxslt's frames
        ctxt->state = XSLT_STATE_STOPPED;
        return;
    }
    if (known) ctxt->lasttext = nullptr;
    xmlUnlinkNode(text);
    xmlFreeNode(text);
}

// Streams the text of prepared's result if its style sheet writes text (see streamText). The
// hook is libxslt's debugger callback, called before every instruction of a context whose
// debug status is set; contexts without it never call it.
void streamIfText(xsltStylesheetPtr ss, Prepared* p) {
    const xmlChar* method = nullptr;
    XSLT_GET_IMPORT_PTR(method, ss, method)
    if (!p || !method || !xmlStrEqual(method, BAD_CAST "text")) return;
    static std::once_flag once;
    std::call_once(once, [] {
        // libxslt's block of debugger callbacks: the handler, then the call frames' (unused).
        static struct {
            xsltHandleDebuggerCallback handler;
            xsltAddCallCallback add;
            xsltDropCallCallback drop;
        } callbacks{&streamText, nullptr, nullptr};
        xsltSetDebuggerCallbacks(3, &callbacks);
    });
    p->data.stream.on = true;
    p->ctxt->debugStatus = XSLT_DEBUG_RUN;
}

// Routes the result documents of the calling thread's transform to sink while it lives.
struct SinkScope {
    const ResultDocumentSink* previous;
    explicit SinkScope(const ResultDocumentSink& sink) : previous(resultSink) {
        if (sink) registerResultOutput();
        resultSink = sink ? &sink : nullptr;
    }
    ~SinkScope() { resultSink = previous; }
};

// Runs a prepared transform into text on the calling thread.
bool runToText(xsltStylesheetPtr ss, xmlDocPtr doc, Prepared* p, const ResultDocumentSink& sink, std::string& out,
               std::string& error) {
    ErrorScope es;
    xmlDocPtr res;
    streamIfText(ss, p);
    {
        SinkScope scope(sink);
        res = run(ss, doc, p);
    }
    if (!res) {
        error = es.message("transformation failed");
        return false;
    }
    out = std::move(p->data.stream.text);
    if (!serialise(ss, res, out)) {
        error = es.message("cannot serialise the transformation result");
        return false;
    }
    error.clear();
    return true;
}

// Calls visit on node and on every node below it (attributes not included), in document order.
template <typename Visit>
bool everyNode(xmlNodePtr top, Visit visit) {
    for (xmlNodePtr cur = top; cur;) {
        if (!visit(cur)) return false;
        if (cur->children && cur->type == XML_ELEMENT_NODE) {
            cur = cur->children;
            continue;
        }
        while (cur != top && !cur->next) cur = cur->parent;
        cur = cur == top ? nullptr : cur->next;
    }
    return true;
}

// Whether transforms can share doc (see SharedSource): libxslt removes white-space-only text
// from a source as it strips spaces, and takes its document type out of its children as a
// transform starts. The element order it stamps holds the same values for every transform.
bool shareable(xmlDocPtr doc) {
    if (!doc || doc->intSubset) return false;
    for (xmlNodePtr top = doc->children; top; top = top->next)
        if (!everyNode(top, [](xmlNodePtr n) {
                return !((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && xsltIsBlank(n->content));
            }))
            return false;
    return true;
}

// key() match patterns read the marks of keyed nodes, which a transform sharing its source
// leaves to clearMarks: such a style sheet does not share one.
bool hasKeyPatterns(xsltStylesheetPtr ss) {
    for (xsltStylesheetPtr s = ss; s; s = xsltNextImport(s))
        if (s->keyMatch) return true;
    return false;
}

// Clears the marks of keyed nodes that the transforms sharing source left, as each transform
// over a source of its own does when it ends. Only while no transform runs.
void clearMarks(SharedSource& source) {
    if (!source.marked) return;
    constexpr unsigned mask = 15;  // libxslt's marks: the top bits of extra, atype and properties
    source.doc->properties &= ~static_cast<int>(mask << 27);
    for (xmlNodePtr top = source.doc->children; top; top = top->next)
        everyNode(top, [](xmlNodePtr n) {
            if (holdsMarks(n)) n->extra &= static_cast<unsigned short>(~(mask << 12));
            if (n->type == XML_ELEMENT_NODE)
                for (xmlAttrPtr a = n->properties; a; a = a->next)
                    a->atype = static_cast<xmlAttributeType>(a->atype & ~(mask << 27));
            return true;
        });
    source.marked = false;
}

// Runs job(0) to job(count - 1), each once, on up to threads threads: the added threads take
// jobs from the front, the calling thread from the back.
void runJobs(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& job) {
    std::mutex taking;
    std::size_t front = 0, back = count;
    auto take = [&](bool fromBack) -> std::size_t {
        std::lock_guard<std::mutex> lock(taking);
        if (front == back) return count;
        return fromBack ? --back : front++;
    };
    auto work = [&](bool fromBack) {
        for (std::size_t i; (i = take(fromBack)) < count;) job(i);
    };
    std::vector<std::thread> pool;
    const std::size_t extra = std::min<std::size_t>(std::max(1u, threads), std::max<std::size_t>(count, 1)) - 1;
    for (std::size_t t = 0; t < extra; ++t) pool.emplace_back(work, false);
    work(true);
    for (std::thread& t : pool) t.join();
}

// Whether what lies under the root element of a result can move into another result: no
// namespaces (their declarations would stay behind), no entity references and no DTD.
bool joinable(xmlDocPtr res) {
    xmlNodePtr root = xmlDocGetRootElement(res);
    if (!root || !res->dict || res->intSubset || res->extSubset) return false;
    return everyNode(root, [](xmlNodePtr n) {
        switch (n->type) {
            case XML_ELEMENT_NODE:
                if (n->ns || n->nsDef) return false;
                for (xmlAttrPtr a = n->properties; a; a = a->next) {
                    if (a->ns) return false;
                    for (xmlNodePtr t = a->children; t; t = t->next)
                        if (t->type != XML_TEXT_NODE) return false;
                }
                return true;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
            case XML_COMMENT_NODE:
            case XML_PI_NODE:
                return true;
            default:
                return false;
        }
    });
}

// Moves nodes of one result document into another. A result's names (and texts copied from
// the style sheet) may be kept by the dictionary of its own transform, which goes with that
// document: such strings are looked up in the dictionary of the document they move to.
class ResultMover {
public:
    ResultMover(xmlDocPtr from, xmlDocPtr to) : from_(from->dict), to_(to) {}

    // Unlinks every child of from's root element and appends it to to's root element.
    void moveRootChildren(xmlDocPtr from) {
        xmlNodePtr target = xmlDocGetRootElement(to_);
        for (xmlNodePtr child = xmlDocGetRootElement(from)->children; child;) {
            xmlNodePtr next = child->next;
            xmlUnlinkNode(child);
            everyNode(child, [this](xmlNodePtr n) {
                adopt(n);
                if (n->type == XML_ELEMENT_NODE)
                    for (xmlAttrPtr a = n->properties; a; a = a->next) {
                        a->doc = to_;
                        a->name = moved(a->name);
                        for (xmlNodePtr t = a->children; t; t = t->next) adopt(t);
                    }
                return true;
            });
            // Appended as it stands: text is not merged with a neighbour.
            child->parent = target;
            child->prev = target->last;
            if (target->last)
                target->last->next = child;
            else
                target->children = child;
            target->last = child;
            child = next;
        }
    }

private:
    void adopt(xmlNodePtr n) {
        n->doc = to_;
        n->name = moved(n->name);
        // An element's content holds its place in document order, not text.
        if (n->type != XML_ELEMENT_NODE && !isInline(n)) n->content = const_cast<xmlChar*>(moved(n->content));
    }
    const xmlChar* moved(const xmlChar* s) {
        if (!s) return s;
        Slot& slot = cache_[(reinterpret_cast<std::uintptr_t>(s) >> 4) & (cache_.size() - 1)];
        if (slot.from == s) return slot.to;
        const xmlChar* m = s;
        if (xmlDictOwns(from_, s) == 1 && xmlDictOwns(to_->dict, s) != 1) {
            m = xmlDictLookup(to_->dict, s, -1);
            if (!m) throw std::bad_alloc();
        }
        slot = {s, m};
        return m;
    }
    struct Slot {
        const xmlChar* from = nullptr;
        const xmlChar* to = nullptr;
    };
    xmlDictPtr from_;
    xmlDocPtr to_;
    std::array<Slot, 256> cache_{};
};
}  // namespace

bool Stylesheet::transform(const Document& doc, std::string& out, const XsltParams& params) const {
    return transform(doc, out, params, nullptr);
}

bool Stylesheet::transform(const Document& doc, std::string& out, const XsltParams& params,
                           const ResultDocumentSink& sink, const XsltFunctions* functions) const {
    out.clear();
    if (!ss_) {
        error_ = "no style sheet loaded";
        return false;
    }
    std::unique_ptr<Prepared> p;
    {
        ErrorScope es;
        p = prepare(ss_, doc.raw(), params, false, functions);
        if (!p) {
            error_ = es.message("transformation failed");
            return false;
        }
    }
    return runToText(ss_, doc.raw(), p.get(), sink, out, error_);
}

bool Stylesheet::declaresParam(std::string_view name) const {
    for (xsltStylesheetPtr s = ss_; s; s = xsltNextImport(s))
        for (xsltStackElemPtr v = s->variables; v; v = v->next)
            if (v->comp && v->comp->type == XSLT_FUNC_PARAM && v->name && !v->nameURI && S(v->name) == name)
                return true;
    return false;
}

void transformConcurrently(const Document& doc, std::vector<TransformJob>& jobs, unsigned threads) {
    initOnce();
    auto alone = [&doc](TransformJob& j) {
        if (!j.sheet) {
            j.error = "no style sheet loaded";
            return;
        }
        j.ok = j.sheet->transform(doc, j.out, j.params, j.sink, j.functions);
        j.error = j.ok ? std::string() : j.sheet->error();
    };
    // Jobs whose style sheets cannot share the source run first, one after the other.
    SharedSource source;
    source.doc = doc.raw();
    const bool canShare = threads > 1 && shareable(source.doc);
    std::vector<std::size_t> together;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        TransformJob& j = jobs[i];
        j.out.clear();
        j.ok = false;
        if (canShare && j.sheet && j.sheet->ss_ && !hasKeyPatterns(j.sheet->ss_))
            together.push_back(i);
        else
            alone(j);
    }
    if (together.size() < 2) {
        for (std::size_t i : together) alone(jobs[i]);
        return;
    }
    // Every context is made before any job runs: making one stamps the element order into doc.
    registerResultOutput();
    std::vector<std::unique_ptr<Prepared>> prepared(together.size());
    bool stamped = false;
    for (std::size_t n = 0; n < together.size(); ++n) {
        TransformJob& j = jobs[together[n]];
        prepared[n] = prepareInTurn(j.sheet->ss_, source, j.params, stamped, j.error, j.functions);
    }
    runJobs(together.size(), threads, [&](std::size_t n) {
        TransformJob& j = jobs[together[n]];
        if (prepared[n]) j.ok = runToText(j.sheet->ss_, source.doc, prepared[n].get(), j.sink, j.out, j.error);
        prepared[n].reset();
    });
    clearMarks(source);
}

bool Stylesheet::transformInParts(const Document& doc, Document& out, unsigned parts, const std::string& partParam,
                                  const std::string& partsParam) const {
    SharedSource source;
    source.doc = doc.raw();
    if (parts < 2 || !ss_ || !shareable(source.doc) || hasKeyPatterns(ss_)) return transform(doc, out);
    initOnce();
    struct Part {
        std::unique_ptr<Prepared> prepared;
        xmlDocPtr result = nullptr;
        bool joinable = false;
        std::string error;
        ~Part() {
            if (result) xmlFreeDoc(result);
        }
    };
    std::vector<Part> slices(parts);
    // Every context is made before any part runs: making one stamps the element order into doc.
    bool stamped = false;
    for (unsigned i = 0; i < parts; ++i)
        slices[i].prepared = prepareInTurn(
            ss_, source, {{partParam, std::to_string(i)}, {partsParam, std::to_string(parts)}}, stamped, slices[i].error);
    runJobs(parts, parts, [&](std::size_t i) {
        Part& part = slices[i];
        if (!part.prepared) return;
        ErrorScope es;
        part.result = run(ss_, source.doc, part.prepared.get());
        if (!part.result)
            part.error = es.message("transformation failed");
        else
            part.joinable = joinable(part.result);
        part.prepared.reset();
    });
    clearMarks(source);
    for (const Part& part : slices)
        if (!part.result) {
            error_ = part.error;
            return false;
        }
    for (const Part& part : slices)
        if (!part.joinable) return transform(doc, out);
    for (unsigned i = 1; i < parts; ++i) ResultMover(slices[i].result, slices[0].result).moveRootChildren(slices[i].result);
    out.adopt(slices[0].result);
    slices[0].result = nullptr;
    error_.clear();
    return true;
}

bool Stylesheet::transform(const Document& doc, Document& out, const XsltParams& params) const {
    if (!ss_) {
        error_ = "no style sheet loaded";
        return false;
    }
    ErrorScope es;
    auto p = prepare(ss_, doc.raw(), params);
    xmlDocPtr res = run(ss_, doc.raw(), p.get());
    if (!res) {
        error_ = es.message("transformation failed");
        return false;
    }
    out.adopt(res);
    error_.clear();
    return true;
}

bool transformFile(const Document& doc, const std::string& xslPath, std::string& out, std::string* error,
                   const XsltParams& params) {
    Stylesheet ss;
    if (!ss.load(xslPath)) {
        if (error) *error = ss.error();
        out.clear();
        return false;
    }
    bool ok = ss.transform(doc, out, params);
    if (!ok && error) *error = ss.error();
    return ok;
}

}  // namespace xml
