// Keeps the fakes library non-empty while the fakes are header-only.
namespace vestrana::testing_anchor {
int fakes_anchor = 0;
}
