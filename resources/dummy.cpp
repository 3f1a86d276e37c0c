// Keeps the library non-empty; its content is the compiled-in resources.
namespace folioset {
int resourcesLinked = 1;
}
