#include <gtest/gtest.h>

#include "scoped_names.h"
#include "source_text.h"

namespace docmap {
namespace {

struct ScopeCase {
    std::string_view what;
    std::string_view source;
    std::vector<std::string_view> present;
    std::vector<std::string_view> absent;
};

void PrintTo(const ScopeCase& c, std::ostream* out) { *out << c.what; }

class ScopedNames : public testing::TestWithParam<ScopeCase> {};

TEST_P(ScopedNames, PlaceEachNameInItsScopes)
{
    const auto& c = GetParam();
    std::unordered_set<std::string> names;
    addScopedNames(readCpp(c.source).skeleton, names);
    for (const auto name : c.present)
        EXPECT_TRUE(names.contains(std::string(name))) << c.what << ": " << name;
    for (const auto name : c.absent)
        EXPECT_FALSE(names.contains(std::string(name))) << c.what << ": " << name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScopedNames,
    testing::Values(
        ScopeCase{"a member of one class is none of the class before it",
                  "class ByteEvent { int wparam; };\nclass ByteQueue { static void post(); };",
                  {"ByteEvent::wparam", "ByteQueue::post"},
                  {"ByteEvent::post"}},
        ScopeCase{
            "defined outside its class", "void Form::Calc(int b) { run(b); }", {"Form::Calc"}, {"Form::run"}},
        ScopeCase{"nested namespaces and classes",
                  "namespace ctl { class ByteQueue { void post(); }; }",
                  {"ctl::ByteQueue", "ctl::ByteQueue::post", "ByteQueue::post"},
                  {"ctl::post"}},
        ScopeCase{"a namespace opened with its path",
                  "namespace PortUnit::detail { class ByteFlow {}; }",
                  {"PortUnit::detail::ByteFlow", "detail::ByteFlow"},
                  {"PortUnit::ByteFlow"}},
        ScopeCase{"qualified where used",
                  "void f() { QCoreApplication::postEvent(w, e); }",
                  {"QCoreApplication::postEvent"},
                  {}},
        ScopeCase{
            "enumerators", "enum class Kind : unsigned char { Good, Bad };", {"Kind::Good", "Kind::Bad"}, {}},
        ScopeCase{"bases and final",
                  "class Sink final : public Base<int, Other> { void taken(); };",
                  {"Sink::taken"},
                  {"Other::taken", "Base::taken"}},
        ScopeCase{"members reached through an object belong to no scope here",
                  "class Form { void f() { queue.post(); link->send(); } };",
                  {"Form::f"},
                  {"Form::post", "Form::send"}},
        ScopeCase{"the global scope drops the enclosing ones",
                  "namespace ui { void f() { ::Port::open(); } }",
                  {"Port::open"},
                  {"ui::Port::open"}},
        ScopeCase{"template parameters, declarations and variables open no scope",
                  "template <class T, class U> void f() { int a; }\nclass Fwd;\nvoid g() { int b; }\n"
                  "void h() { struct stat info{ size }; }\ntemplate <class V> V kZero{ value };\n"
                  "template <class W> class Box : Base<W> { W item; };",
                  {"Box::item"},
                  {"T::a", "U::a", "Fwd::b", "stat::size", "V::value", "W::item"}},
        ScopeCase{"braces in comments, strings and directives do not count",
                  "class A {\n// }\nconst char* s = \"}\";\n#define X }\nvoid f();\n};\nvoid g();",
                  {"A::f"},
                  {"A::g"}},
        ScopeCase{"anonymous namespaces add no name",
                  "namespace { class Hidden { int x; }; }",
                  {"Hidden::x"},
                  {}}));

}  // namespace
}  // namespace docmap
