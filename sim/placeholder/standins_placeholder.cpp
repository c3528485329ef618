// Stands in for the registry stand-in library until its own sources exist:
// an archive needs at least one object. Dropped by sim/CMakeLists.txt as soon
// as src/platform/standin has a source.
namespace sorvane_standins_placeholder {
int unused = 0;
}
