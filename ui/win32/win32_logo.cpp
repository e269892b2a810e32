#include "ui/win32/win32_logo.h"

#include <wincodec.h>

#include <memory>

#include "ui/win32/resources/resource_ids.h"
#include "ui/win32/win32_checked_handle.h"

namespace hexloader {
namespace {

struct TReleaser {
  void operator()(IUnknown* Object) const { Object->Release(); }
};
template <typename T>
using TComOwner = std::unique_ptr<T, TReleaser>;

// Every step's failure reads as the logo's, with the system's text for the HRESULT.
void Check(HRESULT Result) {
  if (FAILED(Result)) RaiseWin32UiError(win32_ui_msg::Logo, static_cast<unsigned long>(Result));
}

// COM on this thread for as long as the decoding runs (nested calls only count up).
class TComScope {
 public:
  TComScope() {
    const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A thread already in the multi-threaded apartment can use COM as it is.
    if (result != RPC_E_CHANGED_MODE) Check(result);
    Initialised_ = SUCCEEDED(result);
  }
  ~TComScope() {
    if (Initialised_) ::CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  bool Initialised_ = false;
};

// The resource's bytes; they stay mapped as long as the program runs.
std::pair<const BYTE*, DWORD> LogoBytes() {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC resource = CheckedHandle(
      ::FindResourceW(module, MAKEINTRESOURCEW(HEXLOADER_LOGO_JPEG), MAKEINTRESOURCEW(10) /* RT_RCDATA */),
      win32_ui_msg::Logo);
  const HGLOBAL loaded = CheckedHandle(::LoadResource(module, resource), win32_ui_msg::Logo);
  return {static_cast<const BYTE*>(::LockResource(loaded)), ::SizeofResource(module, resource)};
}

}  // namespace

TBitmapOwner LogoBitmap(int Size) {
  const TComScope com;
  IWICImagingFactory* rawFactory = nullptr;
  Check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&rawFactory)));
  const TComOwner<IWICImagingFactory> factory(rawFactory);

  const auto [bytes, length] = LogoBytes();
  IWICStream* rawStream = nullptr;
  Check(factory->CreateStream(&rawStream));
  const TComOwner<IWICStream> stream(rawStream);
  Check(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), length));

  IWICBitmapDecoder* rawDecoder = nullptr;
  Check(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, &rawDecoder));
  const TComOwner<IWICBitmapDecoder> decoder(rawDecoder);
  IWICBitmapFrameDecode* rawFrame = nullptr;
  Check(decoder->GetFrame(0, &rawFrame));
  const TComOwner<IWICBitmapFrameDecode> frame(rawFrame);

  IWICBitmapScaler* rawScaler = nullptr;
  Check(factory->CreateBitmapScaler(&rawScaler));
  const TComOwner<IWICBitmapScaler> scaler(rawScaler);
  Check(scaler->Initialize(frame.get(), static_cast<UINT>(Size), static_cast<UINT>(Size),
                           WICBitmapInterpolationModeFant));
  IWICFormatConverter* rawConverter = nullptr;
  Check(factory->CreateFormatConverter(&rawConverter));
  const TComOwner<IWICFormatConverter> converter(rawConverter);
  Check(converter->Initialize(scaler.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                              WICBitmapPaletteTypeCustom));

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = Size;
  info.bmiHeader.biHeight = -Size;  // top-down, as WIC copies the rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  TBitmapOwner bitmap(
      CheckedHandle(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0), win32_ui_msg::Logo));
  const UINT stride = static_cast<UINT>(Size) * 4;
  Check(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(Size), static_cast<BYTE*>(pixels)));
  return bitmap;
}

}  // namespace hexloader
