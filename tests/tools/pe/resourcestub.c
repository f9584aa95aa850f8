/* A stand-in stub for the branding tests: linked with the stub's own resources
   (resources/stub.rc) and, like the stub, with a base relocation table behind them, so the
   builder's resource rewriter meets the same section layout. It is never run. */
__attribute__((used)) static void* self = &self; /* an address the loader must relocate */

void start(void) {}
