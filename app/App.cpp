// Anchors the app library so it builds while its folders fill in.
namespace app {
int libraryAnchor = 0;
}
