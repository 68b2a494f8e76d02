// The main settings window: owns the settings for the life of the process and is the
// object on which every item job runs.
#pragma once

#include "framework/afxwin.h"

#include <string>

class CBatchProgress;

class CSettingsDlg : public CDialog {
 public:
  typedef CSettingsDlg ThisClass;
  explicit CSettingsDlg(CWnd* pParent = nullptr);

  // ----- the settings record, bound to the controls
  std::string m_strOutputDir;
  int m_nOutputType;
  int m_bAddExt;
  int m_bMakeDir;
  int m_bOpenDir;
  int m_nArchiveType;
  int m_bArchiveSelect;
  int m_nImageType;
  int m_nJpegQuality;
  int m_bImageSelect;

  std::string m_strIniPath;
  int m_bStartupDone;
  // The batch being worked through, or null: while there is one the window takes no command
  // and no drop.
  CBatchProgress* m_pBatch;

  // ----- settings file
  void LoadSettings();
  void SaveSettings();

  // ----- work intake
  void ProcessCommandLine();
  void ProcessCommandLineItems(const wchar_t* line, int count);
  int ProcessCommandLineItem(const wchar_t* item);
  int ProcessDroppedItem(const wchar_t* item);
  int ProcessItem(const char* path);
  int OpenFolder(const char* folder);

  // ----- jobs
  int CompressItem(const char* path, const char* outputDir, int archiveType, int outputType,
                   int addExt, int isFolder);
  int ConvertImageItem(const char* path, const char* outputDir, int outputType, int sourceType,
                       int targetType, int jpegQuality);

  // ----- per-item questions
  int AskArchiveType(const char* path);
  int AskImageOptions(const char* path);

 protected:
  HICON m_hIcon;
  CScrollBar m_scrollQuality;

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnDropFiles(HDROP hDropInfo);
  void OnHScroll(UINT nSBCode, UINT nPos, HWND pScrollBar);
  void OnBrowse();
  void OnExit();
  void OnDownload();
  void OnAbout();
  LRESULT OnEnterIdle(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()
};
