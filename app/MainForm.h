// TMForm, the main and only window: the two directions side by side over a bottom panel,
// stand-alone or embedded in the timetabler's window.
#pragma once

#include "app/Arranque.h"
#include "app/Finalizacion.h"

#include <string>
#include <vector>

#include <windows.h>

namespace ponteva {

inline constexpr const wchar_t* kClaseVentana = L"TMForm";

class TMForm {
public:
    static void registrar(HINSTANCE instancia);

    // Creates the window hidden and runs FormCreate; args are the command-line arguments
    // after the program's name.
    TMForm(HINSTANCE instancia, const std::vector<std::string>& args);
    ~TMForm();
    TMForm(const TMForm&) = delete;
    TMForm& operator=(const TMForm&) = delete;

    void mostrar();
    HWND ventana() const { return m_ventana; }

private:
    static LRESULT CALLBACK procVentana(HWND ventana, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT alMensaje(UINT msg, WPARAM wParam, LPARAM lParam);

    void crearControles();
    void FormCreate(const std::vector<std::string>& args);
    void incrustar(HWND padre, Direccion direccion);
    // Returns false when the window must stay open.
    bool FormClose();
    void BExportarClick();
    void BImportarClick();
    void Button1Click();

    // OpenDialogXML: a confirmed choice replaces the document path; cancelling keeps it.
    void OpenDialogXML();
    template <class Run> void ejecutar(Run run);
    void cerrar();
    HWND control(int id) const;

    HWND m_ventana = nullptr;
    HINSTANCE m_instancia;
    HFONT m_fuente = nullptr;
    HFONT m_fuenteNegrita = nullptr;
    HFONT m_fuenteTitulos = nullptr;
    HICON m_glifoOk = nullptr;
    HICON m_glifoSalir = nullptr;
    std::wstring m_documento;
    Finalizacion m_finalizacion{false};
};

} // namespace ponteva
