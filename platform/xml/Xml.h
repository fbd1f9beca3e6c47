// Thin DOM, XPath and XSLT layer over libxml2 / libxslt / libexslt.
//
// Documents are parsed with white space not preserved. XPath positions are 1-based.
// Text in and out is UTF-8. A Node is a non-owning handle: it stays valid while its
// Document lives and the node has not been removed.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _xmlNode;
struct _xmlDoc;
struct _xsltStylesheet;

namespace xml {

class Document;
class Node;
using NodeList = std::vector<Node>;

// Builds an XPath string literal for any text: '...' or "..." where possible,
// concat() when the text holds both quote kinds. Every name entering an XPath goes through it.
// Names and values are stored in it through visibleText, so it matches them.
std::string xpathLiteral(std::string_view text);

// text with every control character XML cannot carry (U+0001-U+001F other than tab, line feed
// and carriage return) written visibly as "\xNN". Every attribute, text and CDATA value set
// through this layer goes through it, so a document always stays well-formed.
std::string visibleText(std::string_view text);

class Node {
public:
    Node() = default;
    explicit Node(_xmlNode* n) : n_(n) {}

    bool isNull() const { return n_ == nullptr; }
    explicit operator bool() const { return n_ != nullptr; }
    bool operator==(const Node& o) const { return n_ == o.n_; }
    _xmlNode* raw() const { return n_; }

    bool isElement() const;
    std::string name() const;              // element or attribute name
    std::string text() const;              // text content of the node and its descendants
    void setText(std::string_view value);  // replaces the children by one text node

    bool hasAttribute(std::string_view name) const;
    std::string attribute(std::string_view name) const;  // "" when absent
    void setAttribute(std::string_view name, std::string_view value);
    void removeAttribute(std::string_view name);
    std::vector<std::pair<std::string, std::string>> attributes() const;

    Node selectSingleNode(std::string_view xpath) const;
    NodeList selectNodes(std::string_view xpath) const;
    // Number of nodes the expression selects (0 on an invalid expression).
    int count(std::string_view xpath) const;

    Node parent() const;
    Node firstChild() const;  // first element child
    NodeList childElements() const;
    int childCount() const;   // element children

    // Appends a new element child.
    Node appendElement(std::string_view name);
    // Appends a CDATA section child.
    void appendCData(std::string_view text);
    // Appends child: a node of the same document is moved; a node of another document is
    // deep-copied into this one. Returns the node now in this document.
    Node appendChild(Node child);
    Node insertBefore(Node child, Node ref);
    Node cloneNode(bool deep) const;  // unlinked copy in the same document
    // Unlinks and frees the node (and its subtree). The handle becomes null.
    void remove();

    std::string xml() const;  // serialised markup of this node
    _xmlDoc* docRaw() const;

private:
    _xmlNode* n_ = nullptr;
};

class Document {
public:
    Document();  // empty document (no root)
    ~Document();
    Document(Document&& o) noexcept;
    Document& operator=(Document&& o) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    bool load(const std::string& path);     // false and parseError() on failure; doc unchanged
    bool loadXML(std::string_view text);    // same, from text
    bool save(const std::string& path) const;  // UTF-8, written atomically
    std::string xml() const;                // whole document as text (declaration included)
    const std::string& parseError() const { return error_; }

    bool isEmpty() const;  // no root element
    Node documentElement() const;
    // Replaces the root with a new element of that name and returns it.
    Node createRoot(std::string_view name);
    // Replaces the root with a deep copy of node (from any document).
    Node setRoot(Node node);
    Node createElement(std::string_view name);  // unlinked element owned by this document
    void clear();
    Document clone() const;

    Node selectSingleNode(std::string_view xpath) const;
    NodeList selectNodes(std::string_view xpath) const;
    int count(std::string_view xpath) const;

    _xmlDoc* raw() const { return doc_; }
    Node asNode() const;  // the document node (for relative selections from the top)

private:
    friend class Stylesheet;
    void adopt(_xmlDoc* d);
    _xmlDoc* doc_ = nullptr;
    std::string error_;
};

// Parameters passed to a style sheet as string values (quoted safely).
using XsltParams = std::map<std::string, std::string>;

// Receives each document a style sheet writes with exsl:document to an href beginning with
// kResultDocumentPrefix: the href and the serialised text. Returning false fails the transform.
// Style sheets write no other files.
using ResultDocumentSink = std::function<bool(const std::string& href, std::string&& text)>;
inline constexpr const char* kResultDocumentPrefix = "dalvane-result:";

// Functions a style sheet can call in namespace kFunctionNamespace, by name. Each is given the
// first node in document order of its first argument (a null Node for an empty node-set). A
// text function returns a string; a nodes function is also given the number of its second
// argument and returns nodes of the transformed document. They may be called from several
// transforms at once.
struct XsltFunctions {
    std::map<std::string, std::function<std::string(const Node&)>> text;
    std::map<std::string, std::function<NodeList(const Node&, double)>> nodes;
};
inline constexpr const char* kFunctionNamespace = "urn:dalvane:xslt";

class Stylesheet {
public:
    Stylesheet();
    ~Stylesheet();
    Stylesheet(Stylesheet&&) noexcept;
    Stylesheet& operator=(Stylesheet&&) noexcept;
    Stylesheet(const Stylesheet&) = delete;
    Stylesheet& operator=(const Stylesheet&) = delete;

    bool load(const std::string& path);
    bool loadXML(std::string_view text);
    bool isLoaded() const { return ss_ != nullptr; }
    const std::string& error() const { return error_; }

    // Transforms doc and returns the serialised result as UTF-8 text, whatever encoding the
    // style sheet's output declares (the declaration is rewritten to UTF-8).
    // On failure returns false and sets error().
    bool transform(const Document& doc, std::string& out, const XsltParams& params = {}) const;
    // The same, handing each result document to sink as soon as it is made (and freed), with
    // functions (see XsltFunctions) when given.
    bool transform(const Document& doc, std::string& out, const XsltParams& params,
                   const ResultDocumentSink& sink, const XsltFunctions* functions = nullptr) const;
    bool transform(const Document& doc, Document& out, const XsltParams& params = {}) const;
    // The result of transforms that run at once, one for each of parts slices: part n is given
    // partParam = n and partsParam = parts, and makes its slice of the root element's children;
    // the slices are joined in order under the first part's root element. Where transforms
    // cannot share doc (see transformConcurrently), or with fewer than two parts, one transform
    // without either parameter.
    bool transformInParts(const Document& doc, Document& out, unsigned parts, const std::string& partParam,
                          const std::string& partsParam) const;

    // Whether the style sheet (with what it includes and imports) declares a global xsl:param.
    bool declaresParam(std::string_view name) const;

private:
    friend void transformConcurrently(const Document&, std::vector<struct TransformJob>&, unsigned);
    _xsltStylesheet* ss_ = nullptr;
    mutable std::string error_;
};

// One transform of transformConcurrently: its style sheet (used by no other job), its
// parameters, functions (outliving the job) and result-document sink; on return its text
// or its error.
struct TransformJob {
    const Stylesheet* sheet = nullptr;
    XsltParams params;
    const XsltFunctions* functions = nullptr;
    ResultDocumentSink sink;
    std::string out;
    bool ok = false;
    std::string error;
};

// Runs the jobs over doc, up to threads at a time, each in one thread from start to end;
// returns when every job has ended. Transforms that share doc write nothing into it at once
// (generate-id() ids are kept by each transform, keyed nodes are marked one transform at a
// time). Where libxslt would change doc in ways that a transform reads (white-space-only text
// it strips, a document type, the marks read by key() match patterns), the jobs concerned run
// first, one after the other on the calling thread.
void transformConcurrently(const Document& doc, std::vector<TransformJob>& jobs, unsigned threads);

// transformNode: doc through the style sheet file at path, into text. Returns false on failure.
bool transformFile(const Document& doc, const std::string& xslPath, std::string& out,
                   std::string* error = nullptr, const XsltParams& params = {});

}  // namespace xml
