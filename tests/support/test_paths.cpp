// Placeholder translation unit so the support library always has a source.
namespace korvex_test_support {
int linked = 1;
}
