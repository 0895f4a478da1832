#include "quorin_app/quorin_app.h"

int main() {
  TQuorinApp app;
  return app.Run();
}
