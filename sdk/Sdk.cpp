// Anchors the SDK library so it builds while its folders fill in.
namespace sdk {
int libraryAnchor = 0;
}
