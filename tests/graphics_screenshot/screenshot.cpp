// Draws a test screen with the graphics foundation in a real window and saves it as a
// PNG: bitmap text in several sizes and colours, justified left, centre and right (in
// the bitmap fonts the build generates into the run folder), a picture, and a lit
// model. Run under a display (for example Xvfb); the picture goes to the path given as
// the first argument.
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "core/utils.h"
#include "graphics/bitmap_font.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/model.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;
constexpr int kWidth = 1280, kHeight = 720;

bool WritePicture(const std::string& path) {
  const int w = 128, h = 96;
  std::vector<uint8_t> px(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * w + x) * 4];
      bool check = ((x / 16) + (y / 16)) % 2 == 0;
      p[0] = uint8_t(x * 2);
      p[1] = uint8_t(y * 2);
      p[2] = check ? 255 : 80;
      p[3] = 255;
    }
  return stbi_write_png(path.c_str(), w, h, 4, px.data(), w * 4) != 0;
}

// A unit cube, one material, a normal per face.
bool WriteCube(const std::string& path) {
  const float n[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  std::string v, f, normals, normalFaces;
  int count = 0;
  for (int face = 0; face < 6; ++face) {
    glm::vec3 normal(n[face][0], n[face][1], n[face][2]);
    glm::vec3 a = std::abs(normal.y) > 0.5f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
    glm::vec3 b = glm::cross(normal, a);
    glm::vec3 corners[4] = {normal - a - b, normal - a + b, normal + a + b, normal + a - b};
    for (auto& c : corners) {
      v += std::to_string(c.x) + ";" + std::to_string(c.y) + ";" + std::to_string(c.z) + ";" + (count + 1 < 24 ? "," : ";") + "\n";
      ++count;
    }
    int base = face * 4;
    std::string tri1 = "3;" + std::to_string(base) + "," + std::to_string(base + 1) + "," + std::to_string(base + 2) + ";";
    std::string tri2 = "3;" + std::to_string(base) + "," + std::to_string(base + 2) + "," + std::to_string(base + 3) + ";";
    f += tri1 + "," + tri2 + (face < 5 ? "," : ";") + "\n";
    normals += std::to_string(normal.x) + ";" + std::to_string(normal.y) + ";" + std::to_string(normal.z) + ";" + (face < 5 ? "," : ";") + "\n";
    std::string nf = "3;" + std::to_string(face) + "," + std::to_string(face) + "," + std::to_string(face) + ";";
    normalFaces += nf + "," + nf + (face < 5 ? "," : ";") + "\n";
  }
  std::string text = "xof 0303txt 0032\nMesh Cube {\n24;\n" + v + "12;\n" + f +
                     "MeshNormals {\n6;\n" + normals + "12;\n" + normalFaces + "}\n" +
                     "MeshMaterialList {\n1;\n12;\n0,0,0,0,0,0,0,0,0,0,0,0;\n"
                     "Material Orange {\n1.0;0.55;0.1;1.0;;\n10.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\n}\n}\n}\n";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return true;
}

void Text(graphics::FontManager& fonts, const char16_t* text, float x, float y, float size, glm::vec3 colour,
          float justification, const char16_t* font = u"default") {
  graphics::Transform t;
  t.position = {x, y, 0};
  t.colour = colour;
  t.highlight = {1, 1, 0};
  t.justification.x = justification;
  fonts.DrawText(&t, 0, 0, -1, -1, text, font, size);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = argc > 1 ? argv[1] : "graphics_screenshot.png";
  std::string work = std::filesystem::path(out).parent_path().string();
  if (work.empty()) work = ".";
  work += "/screenshot_assets";
  std::filesystem::create_directories(work);
  if (!WritePicture(work + "/picture.png") || !WriteCube(work + "/cube.x")) {
    std::fprintf(stderr, "screenshot: could not write the fixtures\n");
    return 1;
  }
  const std::string fontsFolder = std::string(VELORIN_RUN_DIR) + "/data/fonts/";
  if (!std::filesystem::is_regular_file(fontsFolder + "default/65.png")) {
    std::fprintf(stderr, "screenshot: no bitmap fonts in %s (build the content first)\n", fontsFolder.c_str());
    return 1;
  }
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "screenshot: no video: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_Window* window = SDL_CreateWindow("graphics screenshot", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth,
                                        kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "screenshot: no OpenGL 3.3 context: %s\n", SDL_GetError());
    return 1;
  }
  int saved = 1;
  {
    auto device = gfx::CreateGlRenderDevice(kWidth, kHeight);
    graphics::GameAssets assets(device.get());
    graphics::FontManager fonts;
    fonts.Init(device.get(), &assets);
    fonts.LoadAll(ToWide(fontsFolder));
    graphics::Quad quad(device.get());
    quad.Create();
    graphics::Image picture;
    picture.Load(&assets, ToWide(work + "/picture.png"));
    graphics::Model* model = nullptr;
    std::string modelPath = work + "/cube.x";
    assets.GetModel(&model, ToWide(modelPath));

    device->BeginScene();
    device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, gfx::Argb(255, 24, 28, 40), 1.0f, 0);
    device->SetTransform(gfx::TransformKind::kProjection,
                         gfx::Matrix::OrthoOffCenterLH(-640, 640, -360, 360, -1000, 1000));
    device->SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kNone));
    device->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
    device->SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
    device->SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
    device->SetRenderState(gfx::RenderState::kAlphaTestEnable, 1);
    device->SetRenderState(gfx::RenderState::kAlphaRef, 4);
    device->SetRenderState(gfx::RenderState::kAlphaFunc, uint32_t(gfx::CompareFunc::kGreaterEqual));
    device->SetTextureStageState(0, gfx::TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kModulate));
    device->SetTextureStageState(0, gfx::TextureStageState::kAlphaArg2, uint32_t(gfx::TextureArg::kDiffuse));

    Text(fonts, u"Left justified", -600, 300, 10, {1, 1, 1}, 0.0f);
    Text(fonts, u"Centred title", 0, 230, 14, {1, 0.6f, 0.2f}, 0.5f, u"title");
    Text(fonts, u"Right justified", 600, 160, 8, {0.3f, 0.8f, 1}, 1.0f);
    Text(fonts, u"small green 0123456789 \u00e9\u00e0\u00fc\u00f1\u00c5\u00df", -600, 100, 5, {0.3f, 1, 0.3f}, 0.0f);
    // Guides at the justification points: the lines of text must end on them.
    const char16_t* bar = u"|";
    Text(fonts, bar, 0, 170, 8, {0.5f, 0.5f, 0.5f}, 0.5f);
    graphics::Transform highlighted;
    highlighted.position = {-600, 40, 0};
    highlighted.colour = {0.8f, 0.8f, 0.8f};
    highlighted.highlight = {1, 0.2f, 0.2f};
    fonts.DrawText(&highlighted, 1, 0, 10, 18, u"highlight: some of these letters", u"default", 7);

    picture.transform.position = {-350, -200, 0};
    quad.Render3D(picture, false, 0.0f);

    if (model) {
      gfx::Light light;
      light.direction = {-0.4f, -0.5f, 1.0f};
      light.diffuse = {1, 1, 1, 1};
      device->SetLight(0, light);
      device->LightEnable(0, true);
      device->SetRenderState(gfx::RenderState::kAmbient, gfx::Argb(255, 60, 60, 60));
      device->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 0);
      device->SetRenderState(gfx::RenderState::kAlphaTestEnable, 0);
      device->SetTextureStageState(0, gfx::TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kSelectArg2));
      model->transform.position = {300, -200, 0};
      model->transform.scale = glm::vec3(90.0f);
      model->transform.rotation = {0.5f, 0.6f, 0.0f};
      model->transform.colour = {1.0f, 0.55f, 0.1f};  // a model's colour is its transform's
      model->Render();
    } else {
      std::fprintf(stderr, "screenshot: the model did not load\n");
    }
    device->EndScene();

    gfx::ImageData image;
    if (device->ReadPixels(image) &&
        stbi_write_png(out.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4)) {
      std::printf("screenshot: wrote %s\n", out.c_str());
      saved = 0;
    }
    SDL_GL_SwapWindow(window);
    fonts.Release();
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return saved;
}
