#pragma once
// Shared set-up of the message tests: MPI is started once for the whole test
// program (a one-process job needs no launcher), and the manager fields and
// message links a test changes are put back afterwards.
#include <gtest/gtest.h>
#include <mpi.h>

#include <cstring>

#include "base/configuration.h"
#include "base/ybwc_manager.h"
#include "cluster/message_types.h"
#include "mpi_test_util.h"

class MessageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { start_mpi_for_tests(); }

  void SetUp() override {
    manager_ = YBWCManager_GetInstance();
    saved_manager_ = *manager_;
    saved_configuration_ = *manager_->pConfiguration;
    saved_context_ = *MessageContext_GetInstance();
    *MessageContext_GetInstance() = MessageContext{};
    manager_->pConfiguration->nPellamDebugLevel = 0;
    manager_->pConfiguration->bLogToStdout = 0;
    manager_->pConfiguration->bLogToFile = 0;
    manager_->pConfiguration->bLogToCommonFile = 0;
  }

  void TearDown() override {
    *manager_->pConfiguration = saved_configuration_;
    PellamConfiguration* configuration = manager_->pConfiguration;
    *manager_ = saved_manager_;
    manager_->pConfiguration = configuration;
    *MessageContext_GetInstance() = saved_context_;
  }

  YBWCManager* manager_ = nullptr;

 private:
  YBWCManager saved_manager_{};
  PellamConfiguration saved_configuration_{};
  MessageContext saved_context_{};
};
