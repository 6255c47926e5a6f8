#include "image/file_types.h"

#include <windows.h>
#include <shlwapi.h>

#include <iterator>

namespace image {

namespace {

struct ClassList {
  unsigned formatClass;
  const wchar_t* extensions;
};

// In the order they are tested: jng and j2c come before the "other formats" list, which also
// names them, so they keep their own classes.
constexpr ClassList kClassLists[] = {
    {1, L",bmp,dib,"},
    {2, L",jpg,jpeg,jfif,jpe,"},
    {3, L",gif,"},
    {4, L",tiff,tif,"},
    {5, L",png,"},
    {6, L",ico,"},
    {7, L",psd,"},
    {8, L",tga,"},
    {9, L",oxo,"},
    {12, L",wmf,"},
    {13, L",emf,"},
    {14, L",jng,"},
    {15, L",j2c,"},
    {10, L",3fr,arw,bay,bmq,cap,cine,cr2,crw,cs1,dc2,dcr,drf,dsc,dng,erf,fff,ia,iiq,k25,kc2,kdc,mdc,mef,mos,mrw,"
         L"nef,nrw,orf,pef,ptx,pxn,qtk,raf,raw,rdc,rw2,rwl,rwz,sr2,srf,srw,sti,x3f,"},
    {11, L",cut,dds,exr,g3,hdr,iff,lbm,j2k,j2c,jng,jp2,jxr,wdp,hdp,koa,pcd,pcx,pfm,pct,pict,pic,pbm,pgm,ppm,ras,"
         L"sgi,rgb,rgba,bw,wap,wbmp,wbm,webp,xbm,xpm,"},
};

// The extension of the last path component without its dot; empty when that component has none.
std::wstring_view Extension(std::wstring_view path) {
  const size_t separator = path.find_last_of(L"\\/");
  const std::wstring_view name = separator == std::wstring_view::npos ? path : path.substr(separator + 1);
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring_view::npos) return {};
  return name.substr(dot + 1);
}

}  // namespace

const wchar_t kOpenFilterFormat[] =
    L"%s (*.*)|*.bmp;*.dib;*.jpg;*.jpeg;*.jfif;*.jpe;*.gif;*.tiff;*.tif;*.png;*.ico;*.psd;*.cut;*.dds;*.exr;*.g3;"
    L"*.hdr;*.iff;*.lbm;*.j2k;*.j2c;*.jng;*.jp2;*.jxr;*.wdp;*.hdp;*.koa;*.pcd;*.pcx;*.pfm;*.pct;*.pict;*.pic;*.pbm;"
    L"*.pgm;*.ppm;*.ras;*.sgi;*.rgb;*.rgba;*.bw;*.tga;*.targa;*.wap;*.wbmp;*.wbm;*.webp;*.xbm;*.xpm;*.3fr;*.arw;"
    L"*.bay;*.bmq;*.cap;*.cine;*.cr2;*.crw;*.cs1;*.dc2;*.dcr;*.drf;*.dsc;*.dng;*.erf;*.fff;*.ia;*.iiq;*.k25;*.kc2;"
    L"*.kdc;*.mdc;*.mef;*.mos;*.mrw;*.nef;*.nrw;*.orf;*.pef;*.ptx;*.pxn;*.qtk;*.raf;*.raw;*.rdc;*.rw2;*.rwl;*.rwz;"
    L"*.sr2;*.srf;*.srw;*.sti;*.x3f||";

const wchar_t kSaveAsFilter[] = L"JPEG|*.jpg|PNG|*.png|BMP|*.bmp|GIF|*.gif|TIFF|*.tiff||";
const wchar_t kSaveAsDefaultExtension[] = L"jpg";

unsigned ClassifyImageFile(std::wstring_view path) {
  const std::wstring_view extension = Extension(path);
  // A comma inside the extension would let the key span two list entries ("x.jpg,jpeg").
  if (extension.find(L',') != std::wstring_view::npos) return 0;
  std::wstring key;
  key.reserve(extension.size() + 2);
  key.append(1, L',').append(extension).append(1, L',');
  for (const ClassList& list : kClassLists) {
    if (::StrStrIW(list.extensions, key.c_str())) return list.formatClass;
  }
  return 0;
}

unsigned ClassifyImageFile(const wchar_t* path) {
  return path ? ClassifyImageFile(std::wstring_view(path)) : 0;
}

bool IsWritableClass(unsigned formatClass) { return formatClass >= 1 && formatClass <= 5; }

std::wstring BuildOpenFilter(std::wstring_view format, std::wstring_view supportedName) {
  std::wstring filter(format);
  const size_t at = filter.find(L"%s");
  if (at != std::wstring::npos) filter.replace(at, 2, supportedName);
  return filter;
}

std::wstring BuildOpenFilter(std::wstring_view supportedName) {
  return BuildOpenFilter(kOpenFilterFormat, supportedName);
}

std::wstring ToDialogFilter(std::wstring_view pipeSeparated) {
  std::wstring filter(pipeSeparated);
  for (wchar_t& c : filter) {
    if (c == L'|') c = L'\0';
  }
  return filter;
}

unsigned SaveFilterIndexToClass(unsigned filterIndex) {
  constexpr unsigned kClassByIndex[] = {2, 5, 1, 3, 4};
  return filterIndex >= 1 && filterIndex <= std::size(kClassByIndex) ? kClassByIndex[filterIndex - 1] : 0;
}

}  // namespace image
