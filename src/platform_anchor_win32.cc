// Keeps the platform library non-empty while its parts are being added.
namespace vestrana::platform_anchor {
int anchor = 0;
}
