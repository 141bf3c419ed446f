// stb's codecs, compiled here where no libstb is linked (a cross build, the
// fuzz build, which wants the decoder instrumented). Empty otherwise.
#if defined(MOLV_STB_BUILTIN)
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_WRITE_NO_STDIO
#include <stb_image.h>
#include <stb_image_write.h>
#endif
